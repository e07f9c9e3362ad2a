#include "query/dbrecord.h"

#include <cfloat>
#include <cmath>

#include "model/numtext.h"

namespace {
float Fits(double d) {
    if (!(std::fabs(d) <= FLT_MAX)) throw DbError(DbError::Kind::OutOfRange, "数值超出单精度浮点数的范围");
    return static_cast<float>(d);
}
}  // namespace

float FieldNumber(const DbValue& value) {
    if (value.IsEmpty()) throw DbError(DbError::Kind::Null, "记录中有空值");
    if (value.IsNumber()) return Fits(value.Number());
    const NumberRead read = ReadNumber(value.Text());
    if (!read.fits) throw DbError(DbError::Kind::OutOfRange, "数值超出单精度浮点数的范围");
    return read.value;
}

float FieldWholeNumber(const DbValue& value) {
    if (value.IsEmpty()) throw DbError(DbError::Kind::Null, "记录中有空值");
    if (value.IsNumber()) return Fits(value.Number());
    double d;
    if (!WholeNumberText(value.Text(), d)) throw DbError(DbError::Kind::TypeMismatch, "“" + value.Text() + "”不是数字");
    return Fits(d);
}

CPoint PointFromRecord(const Recordset& rs) {
    CPoint p;
    p.pntNO = FieldWholeNumber(rs.Fields(0));
    p.X = FieldNumber(rs.Fields(1));
    p.Y = FieldNumber(rs.Fields(2));
    return p;
}

namespace {
template <class Key>
CLine LineFrom(const Recordset& rs, const Key (&keys)[6]) {
    CLine l;
    l.ID = FieldWholeNumber(rs.Fields(keys[0]));
    l.sp.X = FieldNumber(rs.Fields(keys[1]));
    l.sp.Y = FieldNumber(rs.Fields(keys[2]));
    l.ep.X = FieldNumber(rs.Fields(keys[3]));
    l.ep.Y = FieldNumber(rs.Fields(keys[4]));
    l.color = FieldWholeNumber(rs.Fields(keys[5]));
    return l;
}
}  // namespace

CLine LineFromRecordByPosition(const Recordset& rs) {
    static const int positions[6] = {0, 1, 2, 3, 4, 5};
    return LineFrom(rs, positions);
}

CLine LineFromRecordByName(const Recordset& rs) {
    static const std::string_view names[6] = {"ID", "X1", "Y1", "X2", "Y2", "Color"};
    return LineFrom(rs, names);
}
