#pragma once

#include "journal/RecordedWrite.h"

#include <QList>

class CommandHost;
class QWidget;

// "Отчёт о настройке ККТ" of journal writes of one register in ReportDlg: the
// writes chosen in "Журнал изменений" and the window's write just made.
namespace JournalReport {

// writes: oldest first, none empty. The register and its model's description
// come from the newest write; what an older program's record lacks, the tabs
// of the same register supply.
void show(CommandHost& host, const QList<RecordedWrite>& writes, QWidget* parent);

} // namespace JournalReport
