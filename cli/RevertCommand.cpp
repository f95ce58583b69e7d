#include "RevertCommand.h"

#include "CliFailure.h"
#include "CountSentence.h"
#include "CsvLine.h"
#include "DriverSession.h"
#include "ProgressLine.h"

#include "common/Product.h"
#include "journal/JournalFolder.h"
#include "runs/JournalRevert.h"
#include "journal/JournalSession.h"

#include <unistd.h>

namespace {

const QString DryRunOption = QStringLiteral("dry-run");

} // namespace

QString RevertCommand::summary() const
{
    return QStringLiteral("Вернуть ячейкам записи из журнала изменений значения, которые были до неё (одна фиксация "
                          "на таблицу). Ячейки, изменённые после этой записи, не трогаются и перечисляются; "
                          "код выхода тогда 1. Таблица, которая могла быть записана (фиксация не подтверждена), "
                          "сверяется с обоими значениями: ячейка, уже хранящая значение до записи, не трогается.");
}

void RevertCommand::describe(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("WRITE"), QStringLiteral("Номер записи из vescor-cli journal."));
    parser.addOption({DryRunOption,
                      QStringLiteral("Ничего не записывать; вывести ячейки, которые были бы записаны: "
                                     "\"таблица\";\"ряд\";\"поле\";\"значение\".")});
}

void RevertCommand::execute(const QCommandLineParser& parser)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        usageError(positional.isEmpty() ? QStringLiteral("Не указан номер записи")
                                        : QStringLiteral("Нужен один номер записи, указано: %1").arg(positional.size()));
    const bool dryRun = parser.isSet(DryRunOption);
    const QString writeId = positional.first();
    const JournalFolder writes;
    if (writes.findWrite(writeId).isEmpty())
        throw CliFailure(Refused, QStringLiteral("В журнале изменений нет записи %1").arg(writeId));

    DriverSession session(settingsOption(parser));
    session.reg().openWithDescription();
    // The connected register's own write of that id; another register's is refused by the revert.
    RecordedWrite write = writes.findWrite(writeId, session.reg().identity().serialNumber);
    if (write.isEmpty())
        write = writes.findWrite(writeId);
    JournalSession journal(product::shellProgramName(), session.reg().identity());
    ProgressLine progress(STDERR_FILENO, quiet());
    JournalRevert::Result result;
    try {
        result = JournalRevert::run(write, session.reg(), journal, dryRun, progress);
        progress.clear();
    } catch (...) {
        progress.clear();
        if (!journal.warnings().isEmpty())
            m_console.err(QStringLiteral("Предупреждение: ") + journal.warningText());
        throw;
    }

    for (const JournalRevert::TableCell& cell : result.changedSince) {
        m_console.err(cell.inRegister
                          ? QStringLiteral("Изменена после записи, оставлена как есть: %1: в ККТ \"%2\", запись "
                                           "оставила \"%3\"")
                                .arg(JournalRevert::place(cell), QString::fromUtf8(cell.registerValue),
                                     QString::fromUtf8(cell.cell.after))
                          : QStringLiteral("Нет в ККТ, оставлена как есть: %1").arg(JournalRevert::place(cell)));
    }
    for (const JournalRevert::TableCell& cell : result.heldBefore) {
        m_console.err(QStringLiteral("Таблица могла быть не записана, ячейка уже хранит значение до записи: %1: \"%2\"")
                          .arg(JournalRevert::place(cell), QString::fromUtf8(cell.registerValue)));
    }
    if (dryRun) {
        for (const JournalRevert::TableCell& cell : result.planned) {
            m_console.out(CsvLine::of({QString::number(cell.tableNumber), QString::number(cell.cell.row),
                                       QString::number(cell.cell.field), QString::fromUtf8(cell.cell.before)}));
        }
        m_console.out(CountSentence::cellsInTables(QStringLiteral("Будет"), QStringLiteral("записана"),
                                                   QStringLiteral("записано"), result.cellsWritten,
                                                   result.tablesWritten));
    } else {
        m_console.out(CountSentence::cellsInTables(QStringLiteral("Успешно"), QStringLiteral("записана"),
                                                   QStringLiteral("записано"), result.cellsWritten,
                                                   result.tablesWritten));
        if (!journal.warnings().isEmpty())
            m_console.err(QStringLiteral("Предупреждение: ") + journal.warningText());
    }
    if (!result.changedSince.isEmpty()) {
        throw CliFailure(Refused, QStringLiteral("Ячеек, изменённых после записи %1 и оставленных как есть: %2")
                                      .arg(writeId)
                                      .arg(result.changedSince.size()));
    }
}
