#include "desk/bagplace.h"

#include "desk/deskvalues.h"
#include "desk/deskdepartment.h"
#include "desk/deskinput.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

namespace wip {

namespace {

const char *const kNames[] = {"", "desk", "worker", "transit", "outside", "finished"};

QString caption(const QString &gongxu)
{
    const DeskDepartment *d = DeskDepartment::find(gongxu);
    return d ? d->caption : gongxu;
}

using deskvalues::text;
using deskvalues::number;

} // namespace

QString BagPlace::placeName(Place place)
{
    return QString::fromLatin1(kNames[int(place)]);
}

BagPlace::Place BagPlace::placeFromName(const QString &name)
{
    for (int i = 1; i < int(std::size(kNames)); ++i) {
        if (name.trimmed() == QLatin1String(kNames[i]))
            return Place(i);
    }
    return Place::None;
}

QString BagPlace::describe() const
{
    const QString dept = caption(gongxu);
    const QString who = QString(changhao + QLatin1Char(' ') + xingming).trimmed();
    switch (place) {
    case Place::None:
        return QStringLiteral("未接收");
    case Place::Desk:
        return QStringLiteral("在%1收发 (%2 件 %3 克)").arg(dept, DeskInput::count(pcs), DeskInput::grams(weight));
    case Place::Worker:
        return QStringLiteral("在%1工人 %2 手中").arg(dept, who);
    case Place::Transit:
        return QStringLiteral("在途: %1 → %2").arg(dept, caption(nextGongxu));
    case Place::Outside:
        return QStringLiteral("外发中 (%1, %2)").arg(dept, who);
    case Place::Finished:
        return QStringLiteral("已完成 (%1)").arg(dept);
    }
    return QString();
}

bool BagPlace::read(Transaction &tr, long long scondId, BagPlace *bag)
{
    *bag = BagPlace();
    bag->scondId = scondId;
    const auto row = tr.selectInto(
        QStringLiteral("select scno, place, gongxu_code, next_gongxu, changhao, xingming, note_no, pcs, weight, moves "
                       "from bag_place where scond_id = ?"),
        {scondId});
    if (!row)
        return tr.sqlCode == 100;
    bag->scno = text(row->at(0));
    bag->place = placeFromName(text(row->at(1)));
    bag->gongxu = text(row->at(2));
    bag->nextGongxu = text(row->at(3));
    bag->changhao = text(row->at(4));
    bag->xingming = text(row->at(5));
    bag->noteNo = text(row->at(6));
    bag->pcs = number(row->at(7));
    bag->weight = number(row->at(8));
    bag->moves = row->at(9).toInt();
    return true;
}

bool BagPlace::write(Transaction &tr, const QString &user, const QDateTime &when) const
{
    const auto orNull = [](const QString &s) { return s.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s); };
    const QVariantList values{scno,          placeName(place), orNull(gongxu),   orNull(nextGongxu), orNull(changhao),
                              orNull(xingming), orNull(noteNo), pcs.toVariant(), weight.toVariant(), moves,
                              when,          user,             scondId};
    if (moves <= 1)
        return tr.execute(QStringLiteral("insert into bag_place (scno, place, gongxu_code, next_gongxu, changhao, "
                                         "xingming, note_no, pcs, weight, moves, ldate, opername, scond_id) "
                                         "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                          values);
    return tr.execute(QStringLiteral("update bag_place set scno = ?, place = ?, gongxu_code = ?, next_gongxu = ?, "
                                     "changhao = ?, xingming = ?, note_no = ?, pcs = ?, weight = ?, moves = ?, "
                                     "ldate = ?, opername = ? where scond_id = ?"),
                      values)
        && tr.sqlNRows == 1;
}

} // namespace wip
