// Importing 100 000 rows from a CSV file through Importer - reading the file,
// matching its columns, putting each record's rows together, checking every
// row against the database and writing the records and their audit trail in
// one transaction - against a plain batched insert (BatchInserter) of the same
// rows already in memory, with and without the same audit rows. Two kinds:
// contract lines (20 000 contracts of five lines: the rows a factory brings in
// most) and styles (50 000 styles of two stone lines: the reference data that
// spans the most tables). Each run starts from a copy of one database holding
// the codes the rows use. Goal: the import at most 1.5 times the plain insert
// of what it writes. The memory each import takes at its peak (above what the
// process held before) is printed first, beside that of the plain insert.

#include "benchdata.h"
#include "database/batchinserter.h"
#include "database/rightscatalogue.h"
#include "database/initdatabase.h"
#include "import/importer.h"
#include "import/sheetwriter.h"
#include "contracts/contractimportkind.h"
#include "contracts/contractline.h"
#include "reference/referenceimport.h"
#include "runtime/appglobals.h"
#include "runtime/transaction.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>
#include <fstream>
#include <string>

using namespace wip;

namespace {

constexpr int kRows = 100000;   // two stone lines a style, five lines a contract

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

QString templatePath() { return folder().filePath(QStringLiteral("codes.db")); }
QString csvPath() { return folder().filePath(QStringLiteral("styles.csv")); }
QString contractsPath() { return folder().filePath(QStringLiteral("contracts.csv")); }

// The contract file's rows: KCNO, customer, order, dates, line number and the line's fields.
const QList<QStringList> &contractRows()
{
    static const QList<QStringList> rows = [] {
        QList<QStringList> list;
        list.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            const int c = i / 5;
            list.append({QStringLiteral("KC%1").arg(c, 6, 10, QLatin1Char('0')), QStringLiteral("C%1").arg(c % 50),
                         QStringLiteral("PO-%1").arg(c), QStringLiteral("2026-05-04"), QStringLiteral("2026-06-15"),
                         QString::number(i % 5 + 1), QStringLiteral("D%1").arg(i % 700),
                         QStringLiteral("R%1").arg(i % 20), i % 3 ? QStringLiteral("18KY") : QStringLiteral("PT950"),
                         QString(), QString(), QString(), QString::number(i % 9 + 1), QStringLiteral("3.125"),
                         QStringLiteral("750"), QStringLiteral("13.5"), QString()});
        }
        return list;
    }();
    return rows;
}

// The file's rows: style, type, picture, active, stone, setting, per piece.
const QList<QStringList> &fileRows()
{
    static const QList<QStringList> rows = [] {
        QList<QStringList> list;
        list.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            const QString style = QStringLiteral("R%1").arg(i / 2, 6, 10, QLatin1Char('0'));
            const bool first = i % 2 == 0;
            list.append({style, i % 4 < 2 ? QStringLiteral("R") : QStringLiteral("P"), style + QStringLiteral(".png"),
                         QStringLiteral("1"), first ? QStringLiteral("DIA-RD-1.0") : QStringLiteral("RUBY-OV-3X2"),
                         first ? QStringLiteral("钉镶") : QStringLiteral("包镶"),
                         first ? QString::number(i % 24 + 1) : QStringLiteral("1.5")});
        }
        return list;
    }();
    return rows;
}

bool prepare(QString *error)
{
    Transaction tr;
    tr.settings.dbms = QStringLiteral("SQLITE");
    tr.settings.database = templatePath();
    if (!tr.connect() || !initDatabase(tr).ok) {
        *error = tr.sqlErrText;
        return false;
    }
    const QStringList codes{
        "insert into arttype (arttype_code, arttype_name, active) values ('R', 'RING', 1), ('P', 'PENDANT', 1)",
        "insert into settype (settype_code, settype_name, active) values ('钉镶', 'PAVE', 1), ('包镶', 'BEZEL', 1)",
        "insert into material (mcode, mtype, mname, unit, active) values ('DIA-RD-1.0', 'STONE', '圆钻', '粒', 1), "
        "('RUBY-OV-3X2', 'STONE', '红宝石', '粒', 1), ('18KY', 'GOLD', '18K', '克', 1), ('PT950', 'PT', 'PT950', '克', 1)"};
    for (int i = 0; i < 20; ++i) {
        if (!tr.execute(QStringLiteral("insert into article (article_code, arttype_code, active) values (?, 'R', 1)"),
                        {QStringLiteral("R%1").arg(i)})) {
            *error = tr.sqlErrText;
            return false;
        }
    }
    for (const QString &sql : codes) {
        if (!tr.execute(sql)) {
            *error = tr.sqlErrText;
            return false;
        }
    }
    tr.disconnect();
    const reference::ReferenceImportKind styles(reference::RefKind::get(QStringLiteral("styles")));
    return import::SheetWriter::write(csvPath(), styles.exportedColumns(), fileRows(), error)
        && import::SheetWriter::write(contractsPath(), ContractImportKind().exportedColumns(), contractRows(), error);
}

// A fresh copy of the database of codes, connected.
bool freshDatabase(Transaction &tr)
{
    const QString path = folder().filePath(QStringLiteral("run.db"));
    QFile::remove(path);
    if (!QFile::copy(templatePath(), path))
        return false;
    tr.settings.dbms = QStringLiteral("SQLITE");
    tr.settings.database = path;
    return tr.connect();
}

bool importWith(Transaction &tr, import::ImportKind &kind, const QString &path, int records)
{
    import::ImportOptions options;
    options.user = QStringLiteral("BENCH");
    options.source = QStringLiteral("bench_import");
    const import::ImportOutcome o = import::Importer::importFile(tr, kind, path, options);
    if (o.result != import::ImportOutcome::Result::Imported)
        std::fprintf(stderr, "%s\n", qPrintable(o.text().left(2000)));
    return o.result == import::ImportOutcome::Result::Imported && o.added == records;
}

bool importFile(Transaction &tr)
{
    reference::ReferenceImportKind styles(reference::RefKind::get(QStringLiteral("styles")));
    return importWith(tr, styles, csvPath(), kRows / 2);
}

bool importContracts(Transaction &tr)
{
    ContractImportKind contracts;
    return importWith(tr, contracts, contractsPath(), kRows / 5);
}

// The same contracts and lines, and with audited the audit rows the import
// writes (each field of a header and of a line against none), many rows a statement.
bool plainContracts(Transaction &tr, bool audited)
{
    QSqlDatabase db = tr.database();
    const DbKind kind = tr.kind();
    QStringList lineColumns{"scond_id", "scno", "line_no"};
    for (const LineField &f : LineField::all())
        lineColumns << f.column;
    BatchInserter headers(db, kind, "sconh", {"scno", "cust_no", "cust_order", "issdate", "deldate", "take", "next_line_no"});
    BatchInserter lines(db, kind, "scond", lineColumns);
    BatchInserter audit(db, kind, "audit_log",
                        {"changed_at", "user_code", "source", "scno", "scond_id", "field", "old_value", "new_value"});
    const QDateTime now = QDateTime::currentDateTime();
    const QVariant none(QMetaType::fromType<QString>());
    const QVariant noLine(QMetaType::fromType<qlonglong>());
    const QDateTime issued(QDate(2026, 5, 4), QTime(0, 0));
    const QDateTime due(QDate(2026, 6, 15), QTime(0, 0));
    if (!tr.beginIfManual())
        return false;
    bool ok = true;
    const QList<QStringList> &rows = contractRows();
    for (int i = 0; i < kRows && ok; ++i) {
        const QStringList &r = rows.at(i);
        if (i % 5 == 0) {
            ok = headers.add({r[0], r[1], r[2], issued, due, 0, 6});
            const QList<QPair<QString, QVariant>> fields{{"cust_no", r[1]}, {"cust_order", r[2]},
                                                         {"deldate", "2026-06-15 00:00:00"}, {"issdate", "2026-05-04 00:00:00"},
                                                         {"scno", r[0]}, {"take", "0"}};
            for (const auto &[field, value] : fields)
                ok = ok && (!audited || audit.add({now, "BENCH", "bench_import", r[0], noLine, field, none, value}));
        }
        QVariantList values{i + 1, r[0], i % 5 + 1};
        for (qsizetype c = 0; c < LineField::all().size(); ++c)
            values << (r[6 + c].isEmpty() ? none : QVariant(r[6 + c]));
        ok = ok && lines.add(values);
        for (qsizetype c = 2; audited && c < values.size(); ++c) {
            if (!values[c].isNull())
                ok = ok && audit.add({now, "BENCH", "bench_import", r[0], i + 1, lineColumns[c], none, values[c].toString()});
        }
    }
    ok = ok && headers.flush() && lines.flush() && (!audited || audit.flush());
    return ok && tr.commit();
}

// The same styles, stone lines and stones per piece, and with audited the
// audit rows the import writes, inserted many rows a statement.
bool plainInsert(Transaction &tr, bool audited)
{
    QSqlDatabase db = tr.database();
    const DbKind kind = tr.kind();
    BatchInserter article(db, kind, "article", {"article_code", "arttype_code", "pic_name", "active"});
    BatchInserter artsd(db, kind, "artsd", {"article_code", "stone_code", "settype_code", "qtycal"});
    BatchInserter need(db, kind, "stoneneed", {"article_code", "stoneneed"});
    BatchInserter audit(db, kind, "audit_log",
                        {"changed_at", "user_code", "source", "record_table", "record_key", "field", "old_value", "new_value"});
    const QDateTime now = QDateTime::currentDateTime();
    const QVariant none(QMetaType::fromType<QString>());
    const auto audit4 = [&](const QString &table, const QString &key, const QString &field, const QString &value) {
        return !audited || audit.add({now, "BENCH", "bench_import", table, key, field, none, value});
    };
    if (!tr.beginIfManual())
        return false;
    bool ok = true;
    const QList<QStringList> &rows = fileRows();
    for (int i = 0; i < kRows && ok; i += 2) {
        const QStringList &a = rows.at(i);
        const QStringList &b = rows.at(i + 1);
        ok = article.add({a[0], a[1], a[2], 1}) && audit4("article", a[0], "article_code", a[0])
            && audit4("article", a[0], "arttype_code", a[1]) && audit4("article", a[0], "pic_name", a[2])
            && audit4("article", a[0], "active", "1");
        for (const QStringList *line : {&a, &b}) {
            const QString key = a[0] + "/" + (*line)[4] + "/" + (*line)[5];
            ok = ok && artsd.add({a[0], (*line)[4], (*line)[5], (*line)[6].toDouble()})
                && audit4("artsd", key, "stone_code", (*line)[4]) && audit4("artsd", key, "settype_code", (*line)[5])
                && audit4("artsd", key, "qtycal", (*line)[6]);
        }
        ok = ok && need.add({a[0], a[6].toDouble() + 1.5});
    }
    ok = ok && article.flush() && artsd.flush() && need.flush() && (!audited || audit.flush());
    return ok && tr.commit();
}

template<typename Work>
void measure(benchmark::State &state, Work work)
{
    for (auto _ : state) {
        state.PauseTiming();
        Transaction tr;
        if (!freshDatabase(tr)) {
            state.SkipWithError("no database");
            return;
        }
        state.ResumeTiming();
        if (!work(tr)) {
            state.SkipWithError("the work failed");
            return;
        }
        state.PauseTiming();
        tr.disconnect();
        state.ResumeTiming();
    }
}

void BM_ImportContracts(benchmark::State &state) { measure(state, importContracts); }
void BM_PlainContractsAudited(benchmark::State &state)
{
    measure(state, [](Transaction &tr) { return plainContracts(tr, true); });
}
void BM_PlainContracts(benchmark::State &state)
{
    measure(state, [](Transaction &tr) { return plainContracts(tr, false); });
}
void BM_Import(benchmark::State &state) { measure(state, importFile); }
void BM_PlainInsertAudited(benchmark::State &state) { measure(state, [](Transaction &tr) { return plainInsert(tr, true); }); }
void BM_PlainInsert(benchmark::State &state) { measure(state, [](Transaction &tr) { return plainInsert(tr, false); }); }

long statusKilobytes(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    }
    return -1;
}

// The most memory the work holds at once, above what the process held before
// (Linux: the peak resident size is reset by writing 5 to clear_refs).
double peakMegabytes(bool (*work)(Transaction &))
{
    Transaction tr;
    if (!freshDatabase(tr))
        return -1;
    malloc_trim(0);   // what an earlier measurement freed is given back first
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = statusKilobytes("VmRSS:");
    const bool ok = work(tr);
    const long peak = statusKilobytes("VmHWM:");
    tr.disconnect();
    return ok && before >= 0 && peak >= 0 ? double(peak - before) / 1024.0 : -1;
}

} // namespace

BENCHMARK(BM_ImportContracts)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainContractsAudited)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainContracts)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainInsertAudited)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainInsert)->Unit(benchmark::kMillisecond)->MinTime(5.0);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setQxpdFunction([](const QString &, const QString &module, const QString &function) {
        const RightsCatalogue::Entry &import = RightsCatalogue::entry(Right::Import);
        return module == import.module && function == import.function ? RightsCatalogue::grantedText() : QString();
    });
    QString error;
    if (!folder().isValid() || !prepare(&error)) {
        std::fprintf(stderr, "bench_import: %s\n", qPrintable(error));
        return 1;
    }
    const auto printPeak = [](const char *what, bool (*import)(Transaction &), bool (*plain)(Transaction &),
                              const QString &file) {
        std::printf("peak memory above the start, %s: import %.1f MB, plain insert with its audit rows %.1f MB "
                    "(file of %d rows, %.1f MB)\n",
                    what, peakMegabytes(import), peakMegabytes(plain), kRows, double(QFile(file).size()) / (1024.0 * 1024.0));
    };
    printPeak("contract lines", importContracts, [](Transaction &tr) { return plainContracts(tr, true); }, contractsPath());
    printPeak("styles", importFile, [](Transaction &tr) { return plainInsert(tr, true); }, csvPath());
    return bench::runAndCompare(
        argc, argv,
        {{"BM_ImportContracts", "BM_PlainContractsAudited",
          "import of 100 000 contract lines / plain insert of what it writes (goal <= 1.5)"},
         {"BM_ImportContracts", "BM_PlainContracts", "import of 100 000 contract lines / plain insert without audit rows"},
         {"BM_Import", "BM_PlainInsertAudited", "import of 100 000 style rows / plain insert of what it writes (goal <= 1.5)"},
         {"BM_Import", "BM_PlainInsert", "import of 100 000 style rows / plain insert of the rows without audit rows"}});
}
