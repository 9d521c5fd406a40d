#include "desk/scanstation.h"

#include "desk/contractwrites.h"
#include "desk/progresspropagation.h"
#include "database/rightscatalogue.h"
#include "reports/datastore.h"
#include "runtime/cursor.h"
#include "runtime/decimal.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"
#include "runtime/values.h"

namespace wip {

namespace {

using ScanResult = ScanOutcome::Result;

// The columns the progress form's add button sets to 0 in a new record.
const char *const kZeroed[] = {"wax_in", "wax_out", "casting_in", "casting_out", "filing_in", "filing_out",
                               "setting_in", "setting_out", "finishing_in", "finishing_out", "polishing_in",
                               "polishing_out", "rhodium_in", "rhodium_out"};

// A quantity of the record or a line, exactly; NULL (and anything not a number) as nullopt.
std::optional<Decimal> quantity(const QVariant &value)
{
    std::optional<Decimal> d = Decimal::fromVariant(value);
    if (!d && value.typeId() == QMetaType::QString)
        d = values::parseNumber(value.toString());
    return d && d->isValid() ? d : std::nullopt;
}

Decimal figure(const reports::DataStore &process, const QString &column)
{
    return quantity(process.GetItem(1, column)).value_or(Decimal::fromInt(0));
}

QString numberText(const Decimal &value)
{
    return values::numberText(value);
}

AuditLog::Record snapshot(const reports::DataStore &process)
{
    AuditLog::Record r;
    if (process.RowCount() < 1)
        return r;
    for (const reports::Column &c : process.columns())
        r.insert(c.name, process.GetItem(1, c.name));
    return r;
}

// The figure a scan adds to: the department's received or transferred-out column.
QString column(const ScanDepartment &department, ScanAction action)
{
    return action == ScanAction::In ? department.inColumn : department.outColumn;
}

QString scanField(const ScanOutcome &o)
{
    const ScanDepartment *d = ScanDepartment::find(o.department);
    return QStringLiteral("scan:") + (o.action == ScanAction::In ? d->inColumn : d->outColumn);
}

// Reads the contract's progress record into process; where the contract has none
// yet, starts one as the progress form's add button does (*created set then).
// False when the record cannot be read.
bool readRecord(reports::DataStore &process, const QString &scno, bool *created)
{
    if (process.Retrieve({scno}) < 0)
        return false;
    if (process.RowCount() < 1) {
        const int row = process.InsertRow(0);
        process.SetItem(row, QStringLiteral("scno"), scno);
        for (const char *c : kZeroed)
            process.SetItem(row, QString::fromLatin1(c), 0);
        *created = true;
    }
    return true;
}

// A scan that was saved: the department's figures after it, the next department's
// received quantity, and the clerk's message.
ScanOutcome savedScan(ScanOutcome o, const reports::DataStore &process, const ScanDepartment &department,
                      const QString &message)
{
    o.received = process.GetItem(1, department.inColumn);
    o.transferred = process.GetItem(1, department.outColumn);
    if (!department.nextInColumn.isEmpty())
        o.nextReceived = process.GetItem(1, department.nextInColumn);
    o.result = ScanResult::Done;
    o.message = message;
    return o;
}

} // namespace

const QList<ScanDepartment> &ScanDepartment::all()
{
    static const QList<ScanDepartment> list = {
        {QStringLiteral("唧蜡"), "wax_in", "wax_out", "casting_in"},
        {QStringLiteral("倒模"), "casting_in", "casting_out", "filing_in"},
        {QStringLiteral("执模"), "filing_in", "filing_out", "setting_in"},
        {QStringLiteral("镶石"), "setting_in", "setting_out", "finishing_in"},
        {QStringLiteral("执边"), "finishing_in", "finishing_out", "polishing_in"},
        {QStringLiteral("打磨"), "polishing_in", "polishing_out", "rhodium_in"},
        {QStringLiteral("电金"), "rhodium_in", "rhodium_out", ""},
        {QStringLiteral("石仓"), "qc_in", "qc_out", "", true},
    };
    return list;
}

const ScanDepartment *ScanDepartment::find(const QString &caption)
{
    for (const ScanDepartment &d : all()) {
        if (d.caption == caption.trimmed())
            return &d;
    }
    return nullptr;
}

ScanStation::ScanStation(Transaction &tr, const AuditSource &who, const QString &rights, bool scanRight)
    : m_tr(tr), m_who(who), m_mayUpdate(scanRight || mayUpdate(rights))
{
}

bool ScanStation::mayUpdate(const QString &rights)
{
    return bool(RightsCatalogue::contractRights(rights));
}

QString ScanStation::actionText(ScanAction action)
{
    return action == ScanAction::In ? QStringLiteral("接收") : QStringLiteral("转出");
}

ScanOutcome ScanStation::refuse(ScanOutcome o, ScanResult result, const QString &message) const
{
    o.result = result;
    o.message = message;
    return o;
}

// Locks the contract's header row (PostgreSQL: FOR UPDATE; SQLite's BEGIN
// IMMEDIATE already holds the only write lock) and reads its invoice number,
// and into *header what a ticket takes of it (BagTicket::headerColumns).
bool ScanStation::lockContract(const QString &scno, ScanOutcome &o, QString *invoice, QVariantList *header)
{
    const QString sql = QStringLiteral("select inv_no, %1 from sconh where scno = ?%2")
                            .arg(BagTicket::headerColumns(),
                                 m_tr.kind() == DbKind::PostgreSQL ? QStringLiteral(" for update") : QString());
    const auto row = m_tr.selectInto(sql, {scno});
    if (!row) {
        o = m_tr.sqlCode == 100 ? refuse(o, ScanResult::UnknownCode, QStringLiteral("未知的袋卡 %1: 没有合约 %2").arg(o.ticket.code, scno))
                                : refuse(o, ScanResult::Failed, QStringLiteral("读取合约 %1 未成功: %2").arg(scno, m_tr.sqlErrText));
        return false;
    }
    *invoice = row->at(0).toString().trimmed();
    if (header)
        *header = row->mid(1);
    return true;
}

bool ScanStation::alreadyScanned(const ScanOutcome &o, const QString &field, bool *scanned)
{
    Cursor c(m_tr, QStringLiteral("select new_value from audit_log where scno = ? and scond_id = ? and field = ? "
                                  "order by audit_id desc"),
             {o.ticket.scno, o.ticket.scondId, field});
    if (!c.open())
        return false;
    const auto latest = c.fetch();
    *scanned = latest && !latest->at(0).isNull();
    const bool ok = latest || m_tr.sqlCode == 100;
    c.close();
    return ok;
}

// The scans of a ticket's line for one field that still stand: scans less undos.
bool ScanStation::standingScans(const ScanOutcome &o, const QString &field, int *count)
{
    const auto row = m_tr.selectInto(
        QStringLiteral("select count(new_value), count(*) - count(new_value) from audit_log "
                       "where scno = ? and scond_id = ? and field = ?"),
        {o.ticket.scno, o.ticket.scondId, field});
    if (!row)
        return false;
    *count = row->at(0).toInt() - row->at(1).toInt();
    return true;
}

// The stones one piece of an article carries, as the stone reports read them;
// nullopt with *why when the article has none or its rows disagree.
bool ScanStation::stonesPerPiece(const QString &articleCode, std::optional<Decimal> *perPiece, QString *why)
{
    *perPiece = std::nullopt;
    if (articleCode.trimmed().isEmpty()) {
        *why = QStringLiteral("明细没有款号, 不知每件石数");
        return true;
    }
    const auto row = m_tr.selectInto(
        QStringLiteral("select min(stoneneed), max(stoneneed) from stoneneed where article_code = ?"), {articleCode});
    if (!row)
        return m_tr.sqlCode == 100;
    const std::optional<Decimal> low = quantity(row->at(0));
    const std::optional<Decimal> high = quantity(row->at(1));
    if (!low || low->sign() <= 0)
        *why = QStringLiteral("款号 %1 没有每件石数").arg(articleCode);
    else if (*low != *high)
        *why = QStringLiteral("款号 %1 的每件石数不一致 (%2 / %3)").arg(articleCode, numberText(*low), numberText(*high));
    else
        *perPiece = low;
    return true;
}

bool ScanStation::contractQuantity(const QString &scno, Decimal *total)
{
    Cursor c(m_tr, QStringLiteral("select quantity from scond where scno = ?"), {scno});
    if (!c.open())
        return false;
    *total = Decimal::fromInt(0);
    while (const auto row = c.fetch())
        *total += quantity(row->at(0)).value_or(Decimal::fromInt(0));
    const bool ok = m_tr.sqlCode == 100;
    c.close();
    return ok;
}

ScanOutcome ScanStation::scan(const QString &code, const ScanDepartment &department, ScanAction action, bool again)
{
    return run(code, department, action, again, false);
}

ScanOutcome ScanStation::cancel(const QString &code, const ScanDepartment &department, ScanAction action)
{
    return run(code, department, action, true, true);
}

ScanOutcome ScanStation::run(const QString &code, const ScanDepartment &department, ScanAction action, bool again,
                             bool cancel)
{
    ScanOutcome o;
    o.ticket.code = code.trimmed();
    o.department = department.caption;
    o.action = action;
    if (!m_mayUpdate)
        return refuse(o, ScanResult::NoRight, QStringLiteral("用户 %1 没有更新销售合约进度的权限, 不能扫描!").arg(m_who.user));
    if (action == ScanAction::In && department.caption != ScanDepartment::all().first().caption)
        return refuse(o, ScanResult::NotForDepartment, QStringLiteral("只有唧蜡可以接收; %1 请用转出。").arg(department.caption));
    QString scno;
    int lineNo = 0;
    if (!BagTicket::parseCode(o.ticket.code, &scno, &lineNo))
        return refuse(o, ScanResult::UnknownCode, QStringLiteral("未知的袋卡 %1").arg(o.ticket.code));
    o.ticket.scno = scno;
    o.ticket.lineNo = lineNo;

    TransactionGuard guard(m_tr);
    if (!guard.active())
        return refuse(o, ScanResult::Failed, QStringLiteral("数据库未能开始交易: ") + m_tr.sqlErrText);
    QString invoice;
    QVariantList header;
    if (!lockContract(scno, o, &invoice, &header)) {
        guard.rollback();
        return o;
    }
    if (mayScan(o, department, again, cancel, invoice, header))
        o = write(o, department, guard, cancel);
    if (!o.done())
        guard.rollback();
    return o;
}

// The checks of a scan on the locked contract that need the ticket's line: true
// when it may be written, with o.added set; otherwise o says why.
bool ScanStation::mayScan(ScanOutcome &o, const ScanDepartment &department, bool again, bool cancel,
                          const QString &invoice,
                          const QVariantList &header)
{
    const auto no = [&o, this](ScanResult result, const QString &message) {
        o = refuse(o, result, message);
        return false;
    };
    const QString what = QStringLiteral("%1 %2").arg(department.caption, actionText(o.action));
    if (!invoice.isEmpty())
        return no(ScanResult::Invoiced, QStringLiteral("合约 %1 已开发票 (%2), 不能再扫描!").arg(o.ticket.scno, invoice));
    QString error;
    const QString code = o.ticket.code;
    switch (BagTicket::find(m_tr, code, &o.ticket, &error, header)) {
    case BagTicket::Lookup::Found:
        break;
    case BagTicket::Lookup::LineDeleted:
        return no(ScanResult::LineDeleted, QStringLiteral("袋卡 %1: 合约 %2 的第 %3 行明细已删除, 不能扫描!")
                                           .arg(code, o.ticket.scno).arg(o.ticket.lineNo));
    case BagTicket::Lookup::Failed:
        return no(ScanResult::Failed, QStringLiteral("读取袋卡 %1 的明细未成功: %2").arg(code, error));
    default:
        return no(ScanResult::UnknownCode, QStringLiteral("未知的袋卡 %1: 合约 %2 没有第 %3 行明细")
                                           .arg(code, o.ticket.scno).arg(o.ticket.lineNo));
    }
    const std::optional<Decimal> pieces = quantity(o.ticket.quantity);
    if (!pieces || pieces->sign() <= 0)
        return no(ScanResult::Failed, QStringLiteral("袋卡 %1 的明细没有数量, 不能扫描!").arg(o.ticket.code));
    o.added = pieces->toVariant();
    if (department.countsStones) {
        std::optional<Decimal> perPiece;
        QString why;
        if (!stonesPerPiece(o.ticket.articleCode, &perPiece, &why))
            return no(ScanResult::Failed, QStringLiteral("读取每件石数未成功: ") + m_tr.sqlErrText);
        if (!perPiece)
            return no(ScanResult::NoStones, QStringLiteral("袋卡 %1: %2, 石仓不能扫描!").arg(o.ticket.code, why));
        o.stonesPerPiece = perPiece->toVariant();
        o.added = (*perPiece * *pieces).toVariant();
    }

    const QString field = QStringLiteral("scan:") + column(department, o.action);
    if (o.action == ScanAction::In) {
        // A line enters the chain once: with a second receipt it would stand above its quantity.
        int standing = 0;
        if (!standingScans(o, field, &standing))
            return no(ScanResult::Failed, QStringLiteral("读取扫描记录未成功: ") + m_tr.sqlErrText);
        if (cancel && standing <= 0)
            return no(ScanResult::OverScan, QStringLiteral("袋卡 %1 没有%2过, 不能冲销!").arg(o.ticket.code, what));
        if (!cancel && standing > 0)
            return no(ScanResult::OverScan, QStringLiteral("袋卡 %1 已在%2过 (%3 件), 一行不能接收超过它的数量!")
                                                   .arg(o.ticket.code, what, numberText(*pieces)));
    } else {
        bool scanned = false;
        if (!alreadyScanned(o, field, &scanned))
            return no(ScanResult::Failed, QStringLiteral("读取扫描记录未成功: ") + m_tr.sqlErrText);
        if (scanned && !again)
            return no(ScanResult::Duplicate, QStringLiteral("袋卡 %1 已在%2扫描过!").arg(o.ticket.code, what));
    }
    return true;
}

// Adds o.added to the department's figure in the contract's record, after the
// checks against the record itself, and saves it with the audit rows.
ScanOutcome ScanStation::write(ScanOutcome o, const ScanDepartment &department, TransactionGuard &guard, bool cancel)
{
    const QString scno = o.ticket.scno;
    const QString what = QStringLiteral("%1 %2").arg(department.caption, actionText(o.action));
    const QString col = column(department, o.action);
    const Decimal amount = cancel ? -*quantity(o.added) : *quantity(o.added);
    reports::DataStore process(QStringLiteral("d_w_process_input"));
    process.SetTransObject(m_tr);
    if (!readRecord(process, scno, &o.createdRecord))
        return refuse(o, ScanResult::Failed, QStringLiteral("读取合约 %1 的进度未成功").arg(scno));
    const AuditLog::Record before = snapshot(process);
    const Decimal now = figure(process, col) + amount;
    if (cancel && now.sign() < 0)
        return refuse(o, ScanResult::OverScan, QStringLiteral("袋卡 %1: %2只有 %3, 不能冲销 %4!")
                                               .arg(o.ticket.code, what, numberText(figure(process, col)),
                                                    numberText(-amount)));
    if (!cancel && o.action == ScanAction::Out && now > figure(process, department.inColumn))
        return refuse(o, ScanResult::OverScan, QStringLiteral("袋卡 %1: %2 %3 会超过已接收的 %4 (已转出 %5)!")
                                               .arg(o.ticket.code, what, numberText(amount),
                                                    numberText(figure(process, department.inColumn)),
                                                    numberText(figure(process, col))));
    if (!cancel && o.action == ScanAction::In) {
        Decimal ordered;
        if (!contractQuantity(scno, &ordered))
            return refuse(o, ScanResult::Failed, QStringLiteral("读取合约 %1 的明细未成功: %2").arg(scno, m_tr.sqlErrText));
        if (now > ordered)
            return refuse(o, ScanResult::OverScan, QStringLiteral("袋卡 %1: %2 %3 会使合约 %4 的接收数 %5 超过合约数量 %6!")
                                                   .arg(o.ticket.code, what, numberText(amount), scno, numberText(now),
                                                        numberText(ordered)));
    }
    process.SetItem(1, col, now.toVariant());
    ProgressPropagation::apply(process, 1, col, QDateTime::currentDateTime());
    const AuditLog::Record after = snapshot(process);
    for (const AuditLog::Change &c : AuditLog::diff(scno, QVariant(), before, after))
        o.changed.insert(c.field, {c.oldValue, c.newValue});

    QString closed;
    const ContractWrites::SaveResult saved = ContractWrites::saveProcess(process, m_tr, m_who, o.ticket.scondId, &closed);
    if (saved == ContractWrites::SaveResult::DayClosed)
        return refuse(o, ScanResult::DayClosed, QStringLiteral("袋卡 %1 未能保存, 没有写入任何资料: %2").arg(o.ticket.code, closed));
    if (saved != ContractWrites::SaveResult::Saved
        || !AuditLog::write(m_tr, m_who,
                            {cancel ? AuditLog::Change{scno, o.ticket.scondId, QStringLiteral("scan:") + col,
                                                       o.ticket.code, QVariant()}
                                    : AuditLog::Change{scno, o.ticket.scondId, QStringLiteral("scan:") + col,
                                                       QVariant(), o.ticket.code}})
        || !guard.commit())
        return refuse(o, ScanResult::Failed, QStringLiteral("袋卡 %1 未能保存, 没有写入任何资料").arg(o.ticket.code));
    QString added = (cancel ? QString() : QStringLiteral("+")) + numberText(amount);
    if (department.countsStones)
        added += QStringLiteral(" 粒 (%1 件 × %2 粒)").arg(numberText(*quantity(o.ticket.quantity)),
                                                          numberText(*quantity(o.stonesPerPiece)));
    return savedScan(o, process, department, QStringLiteral("袋卡 %1: %2 %3").arg(o.ticket.code, what, added));
}

ScanOutcome ScanStation::undo(const ScanOutcome &scan)
{
    ScanOutcome o = scan;
    o.changed.clear();
    const QString what = QStringLiteral("%1 %2").arg(scan.department, actionText(scan.action));
    if (!scan.done())
        return refuse(o, ScanResult::Failed, QStringLiteral("没有可撤销的扫描"));
    if (!m_mayUpdate)
        return refuse(o, ScanResult::NoRight, QStringLiteral("用户 %1 没有更新销售合约进度的权限, 不能撤销!").arg(m_who.user));
    TransactionGuard guard(m_tr);
    auto fail = [&](ScanResult result, const QString &message) {
        guard.rollback();
        return refuse(o, result, message);
    };
    if (!guard.active())
        return refuse(o, ScanResult::Failed, QStringLiteral("数据库未能开始交易: ") + m_tr.sqlErrText);
    QString invoice;
    if (!lockContract(scan.ticket.scno, o, &invoice)) {
        guard.rollback();
        return o;
    }
    if (!invoice.isEmpty())
        return fail(ScanResult::Invoiced, QStringLiteral("合约 %1 已开发票 (%2), 不能撤销!").arg(scan.ticket.scno, invoice));
    reports::DataStore process(QStringLiteral("d_w_process_input"));
    process.SetTransObject(m_tr);
    if (process.Retrieve({scan.ticket.scno}) != 1)
        return fail(ScanResult::Failed, QStringLiteral("合约 %1 的进度记录已不在, 不能撤销!").arg(scan.ticket.scno));
    for (auto it = scan.changed.cbegin(); it != scan.changed.cend(); ++it) {
        if (AuditLog::text(process.GetItem(1, it.key())) != AuditLog::text(it->second))
            return fail(ScanResult::Failed, QStringLiteral("袋卡 %1 扫描后进度已被修改 (%2), 不能撤销!").arg(scan.ticket.code, it.key()));
    }
    if (scan.createdRecord) {
        process.DeleteRow(1);
    } else {
        for (auto it = scan.changed.cbegin(); it != scan.changed.cend(); ++it)
            process.SetItem(1, it.key(), it->first);
    }
    const QList<AuditLog::Change> undone = {
        AuditLog::Change{scan.ticket.scno, scan.ticket.scondId, scanField(scan), scan.ticket.code, QVariant()}};
    QString closed;
    const ContractWrites::SaveResult saved = ContractWrites::saveProcess(process, m_tr, m_who, scan.ticket.scondId, &closed);
    if (saved == ContractWrites::SaveResult::DayClosed)
        return fail(ScanResult::DayClosed, QStringLiteral("撤销袋卡 %1 未成功, 没有写入任何资料: %2").arg(scan.ticket.code, closed));
    if (saved != ContractWrites::SaveResult::Saved || !AuditLog::write(m_tr, m_who, undone) || !guard.commit()) {
        guard.rollback();
        return refuse(o, ScanResult::Failed, QStringLiteral("撤销袋卡 %1 未成功, 没有写入任何资料").arg(scan.ticket.code));
    }
    const ScanDepartment *d = ScanDepartment::find(scan.department);
    const bool kept = process.RowCount() > 0;
    o.received = kept ? process.GetItem(1, d->inColumn) : QVariant();
    o.transferred = kept ? process.GetItem(1, d->outColumn) : QVariant();
    o.nextReceived = kept && !d->nextInColumn.isEmpty() ? process.GetItem(1, d->nextInColumn) : QVariant();
    o.result = ScanResult::Done;
    o.message = QStringLiteral("已撤销 袋卡 %1: %2").arg(scan.ticket.code, what);
    return o;
}

} // namespace wip
