#pragma once
// Plain records of the drawing. Numbers and coordinates are 32-bit floats,
// compared for exact equality wherever records are looked up by number.

struct CPoint {
    float pntNO = 0.0f;
    float X = 0.0f;
    float Y = 0.0f;
    bool IsSelect = false;
};

struct CLine {
    float ID = 0.0f;
    CPoint sp;  // owned start node; only X and Y are used
    CPoint ep;  // owned end node
    bool IsSelect = false;
    float color = 0.0f;  // packed RGB held as a float; rounded when drawn
};

inline float RecordNumber(const CPoint& p) { return p.pntNO; }
inline float RecordNumber(const CLine& l) { return l.ID; }
