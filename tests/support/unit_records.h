#pragma once
// Records and drawings for the rule tests.
#include <memory>
#include <sstream>
#include <string>

#include "model/mainstate.h"
#include "model/numtext.h"

inline std::shared_ptr<CPoint> MakePoint(float no, float x = 0, float y = 0) {
    return std::make_shared<CPoint>(CPoint{no, x, y, false});
}

inline std::shared_ptr<CLine> MakeLine(float id, float x1 = 0, float y1 = 0, float x2 = 1, float y2 = 1, float c = 0) {
    return std::make_shared<CLine>(CLine{id, {0, x1, y1, false}, {0, x2, y2, false}, false, c});
}

// "1(2,3) 4(5,6) | 7(0,0 1,1 c255)": numbers, coordinates and colours in
// order, and with `identity` which record objects they are.
inline std::string Dump(const MainState& s, bool identity = false) {
    std::ostringstream out;
    auto who = [&](const void* record) -> std::ostream& { return identity ? out << "@" << record : out; };
    for (const auto& p : s.pntArray) who(p.get()) << N(p->pntNO) << "(" << N(p->X) << "," << N(p->Y) << ") ";
    out << "|";
    for (const auto& l : s.lineArray)
        who(l.get()) << " " << N(l->ID) << "(" << N(l->sp.X) << "," << N(l->sp.Y) << " " << N(l->ep.X) << ","
                     << N(l->ep.Y) << " c" << N(l->color) << ")";
    return out.str();
}
