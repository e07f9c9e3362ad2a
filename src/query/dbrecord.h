#pragma once
// Copies a database record into a highlight record. Numbers are taken as they
// are; the coordinates read a text by the leading-number rule, ID and Color
// only a text that is wholly a number. An empty value, or one a 32-bit float
// can't hold, is a DbError, and then nothing is copied.
#include "model/records.h"
#include "platform/database.h"

float FieldNumber(const DbValue& value);
float FieldWholeNumber(const DbValue& value);

// PointTable record by position: ID, X, Y.
CPoint PointFromRecord(const Recordset& rs);
// LineTable record by position: ID, X1, Y1, X2, Y2, Color.
CLine LineFromRecordByPosition(const Recordset& rs);
// LineTable record by field name.
CLine LineFromRecordByName(const Recordset& rs);
