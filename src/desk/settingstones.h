#pragma once

#include "desk/deskrequest.h"
#include "runtime/decimal.h"

#include <QList>
#include <QString>

#include <optional>

namespace wip {

class Transaction;

// The stones of one bag at 镶石 (06-镶石), by stone and setting method.
//
// The style's stone lines (artsd) say how many stones of a code one piece takes
// and by which setting method; the placeholder 初始镶法 (stone INIST) and lines
// of no stones are nothing to set. Pieces issued to a setter carry their stones
// (the style's stones × pieces), and at the take-back the clerk says how many
// were set by each method - by default the style's stones × pieces finished,
// never more than were issued - and how many of each stone were broken or lost
// (broken stones are replaced from the desk, so they do not lessen what is set):
//
//   style R2401          DIA-RD-1.0 3 a piece 钉镶, RUBY-2 1 a piece 包镶
//   10 pieces issued     钉镶 DIA-RD-1.0 30, 包镶 RUBY-2 10
//   8 finished           钉镶 DIA-RD-1.0 24, 包镶 RUBY-2 8              (the default)
//   "钉镶=23", broken "DIA-RD-1.0=2"
//                        钉镶 DIA-RD-1.0 23, 包镶 RUBY-2 8; broken DIA-RD-1.0 2
//
// Refused (with the reason for the clerk): a setting method or stone the style
// lacks; a method that sets several stones named without its stone; a line or
// stone named twice; more set by a line, or more of a stone broken, than were
// issued. The counts themselves are read before (DeskInput::stones).
class SettingStones
{
public:
    struct Line
    {
        QString stone;
        QString method;    // empty: broken or lost
        Decimal count;     // stones (of the style: a piece)
    };

    // The stones of `article` (the style's lines) and those issued on a
    // worker's step: the step's stone rows in matuse (prochId), or, for a step
    // that carries none (issued before the desk wrote them), the style's stones
    // × heldPieces. prochId 0: nothing issued yet. nullopt with *error when the
    // database cannot be read.
    static std::optional<SettingStones> read(Transaction &tr, const QString &article, long long prochId,
                                             const Decimal &heldPieces, QString *error);

    bool isEmpty() const { return m_style.isEmpty(); }
    // The style's stones × pieces, in stone and method order: what pieces carry.
    QList<Line> forPieces(const Decimal &pieces) const;
    // What was set and broken at a take-back of `finished` pieces; false with *why.
    bool settle(const Decimal &finished, const QList<DeskRequest::StoneCount> &set,
                const QList<DeskRequest::StoneCount> &broken, QList<Line> *setLines, QList<Line> *brokenLines,
                QString *why) const;

    // "钉镶 DIA-RD-1.0 30 粒, 破损 DIA-RD-1.0 1 粒"; empty when there is none.
    static QString describe(const QList<Line> &set, const QList<Line> &broken);

    SettingStones(const QString &article, const QList<Line> &style, const QList<Line> &issued);

private:
    Decimal issuedOf(const QString &stone, const QString &method) const;   // method empty: every method
    bool resolve(const DeskRequest::StoneCount &entry, const Line **line, QString *why) const;

    QString m_article;
    QList<Line> m_style;     // a piece
    QList<Line> m_issued;
};

} // namespace wip
