// The desk window's form without its widgets: the order Enter goes through the
// fields of each action, and the request the form gives Desk.

#include "desk/widgets/deskfields.h"

#include <QTest>

using namespace wip;
using C = DeskChoice;
using F = DeskField;

Q_DECLARE_METATYPE(wip::DeskChoice)

namespace {

QString names(const QList<DeskField> &fields)
{
    static const char *const n[] = {"code", "worker", "pieces", "weight", "returned", "toDesk", "unfinishedWeight"};
    QStringList out;
    for (const DeskField f : fields)
        out << QLatin1String(n[int(f)]);
    return out.join(QLatin1Char(' '));
}

} // namespace

class DeskFieldsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What Enter goes through: the unfinished pieces' fields only when fewer
    // pieces come back than the worker holds, their weight only when they
    // come back to the desk.
    void enterGoesThroughTheFieldsTheActionAsks_data()
    {
        QTest::addColumn<DeskChoice>("choice");
        QTest::addColumn<QString>("pieces");
        QTest::addColumn<bool>("toDesk");
        QTest::addColumn<int>("held");   // -1: not known
        QTest::addColumn<QString>("chain");
        QTest::newRow("receive") << C::Receive << "" << false << -1 << "code pieces weight";
        QTest::newRow("issue") << C::Issue << "3" << false << -1 << "code worker pieces weight";
        QTest::newRow("pass on") << C::PassOn << "" << false << -1 << "code pieces weight";
        QTest::newRow("outside") << C::Outside << "" << false << -1 << "code worker pieces weight";
        QTest::newRow("take back all") << C::TakeBack << "" << false << 10 << "code worker pieces weight returned";
        QTest::newRow("take back all typed") << C::TakeBack << "10" << true << 10 << "code worker pieces weight returned";
        QTest::newRow("take back fewer, stay") << C::TakeBack << "7" << false << 10
                                               << "code worker pieces weight returned toDesk";
        QTest::newRow("take back fewer, to desk") << C::TakeBack << " 7 " << true << 10
                                                  << "code worker pieces weight returned toDesk unfinishedWeight";
        QTest::newRow("take back none, to desk") << C::TakeBack << "0" << true << 10
                                                 << "code worker pieces weight returned toDesk unfinishedWeight";
        QTest::newRow("held unknown") << C::TakeBack << "7" << true << -1 << "code worker pieces weight returned";
        QTest::newRow("pieces not a number") << C::TakeBack << "7x" << true << 10 << "code worker pieces weight returned";
        QTest::newRow("more than held") << C::TakeBack << "12" << true << 10 << "code worker pieces weight returned";
    }
    void enterGoesThroughTheFieldsTheActionAsks()
    {
        QFETCH(DeskChoice, choice);
        QFETCH(QString, pieces);
        QFETCH(bool, toDesk);
        QFETCH(int, held);
        QFETCH(QString, chain);
        DeskRequest typed = DeskFields::start(choice, QStringLiteral("执模"));
        typed.pieces = pieces;
        typed.unfinishedToDesk = toDesk;
        const std::optional<Decimal> h = held < 0 ? std::nullopt : std::optional<Decimal>(Decimal::fromInt(held));
        const QList<DeskField> fields = DeskFields::chain(choice, typed, h);
        QCOMPARE(names(fields), chain);
        // Enter from each field reaches the next; from the last it acts.
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const auto next = DeskFields::next(choice, typed, h, fields.at(i));
            QCOMPARE(next.has_value(), i + 1 < fields.size());
            if (next)
                QCOMPARE(*next, fields.at(i + 1));
        }
        // Every field of the chain is one the choice uses.
        for (const DeskField f : fields)
            QVERIFY(DeskFields::used(choice).contains(f));
    }

    // The request the form gives: the chain's fields only, trimmed; outside work
    // is a pass-on to outside; the unfinished weight of pieces that stay with
    // the worker is not passed on, however it was left in its field.
    void theFormGivesDeskItsRequest()
    {
        const QHash<DeskField, QString> texts{{F::Code, " KC1-1 "}, {F::Worker, "0401 "}, {F::Pieces, "7"},
                                              {F::Weight, " 22.5"},  {F::Returned, "0.3"},  {F::UnfinishedWeight, "8.4"}};
        bool toDesk = false;
        const auto read = [&](DeskField f) {
            return DeskFields::Value{texts.value(f), f == F::UnfinishedToDesk && toDesk};
        };
        const std::optional<Decimal> held = Decimal::fromInt(10);

        DeskRequest r = DeskFields::request(C::TakeBack, "执模", held, read);
        QCOMPARE(r.action, DeskAction::TakeBack);
        QCOMPARE(r.department, QStringLiteral("执模"));
        QCOMPARE(r.code, QStringLiteral("KC1-1"));
        QCOMPARE(r.worker, QStringLiteral("0401"));
        QCOMPARE(r.pieces, QStringLiteral("7"));
        QCOMPARE(r.weight, QStringLiteral("22.5"));
        QCOMPARE(r.returned, QStringLiteral("0.3"));
        QVERIFY(!r.unfinishedToDesk);
        QCOMPARE(r.unfinishedWeight, QString());   // the pieces stay: no weight of theirs
        QVERIFY(!r.confirmDifference && r.gainConfirmedBy.isEmpty());

        toDesk = true;
        r = DeskFields::request(C::TakeBack, "执模", held, read);
        QVERIFY(r.unfinishedToDesk);
        QCOMPARE(r.unfinishedWeight, QStringLiteral("8.4"));

        // Fields another action does not ask stay empty.
        r = DeskFields::request(C::Receive, "倒模", held, read);
        QCOMPARE(r.action, DeskAction::Receive);
        QCOMPARE(r.worker, QString());
        QCOMPARE(r.returned, QString());
        QVERIFY(!r.unfinishedToDesk && r.unfinishedWeight.isEmpty());
        r = DeskFields::request(C::Outside, "执模", held, read);
        QCOMPARE(r.action, DeskAction::PassOn);
        QVERIFY(r.toOutside);
        QCOMPARE(r.worker, QStringLiteral("0401"));   // the outside workshop
        QVERIFY(!DeskFields::request(C::PassOn, "执模", held, read).toOutside);
    }

    void captionsNameWhatIsWeighed()
    {
        QCOMPARE(DeskFields::label(C::Receive, F::Weight), QStringLiteral("收到重量"));
        QCOMPARE(DeskFields::label(C::TakeBack, F::Weight), QStringLiteral("完成重量"));
        QCOMPARE(DeskFields::label(C::TakeBack, F::Pieces), QStringLiteral("完成件数"));
        QCOMPARE(DeskFields::label(C::Outside, F::Worker), QStringLiteral("外发厂"));
        QCOMPARE(DeskFields::label(C::Issue, F::Worker), QStringLiteral("工人"));
        QStringList texts;
        for (const DeskChoice c : DeskFields::choices())
            texts << DeskFields::choiceText(c);
        QCOMPARE(texts, (QStringList{"接收", "发出", "收回", "转出", "外发"}));
    }
};

QTEST_APPLESS_MAIN(DeskFieldsTest)
#include "tst_deskfields.moc"
