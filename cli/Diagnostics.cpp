#include "Diagnostics.h"

#include <QLoggingCategory>

#include <cstring>

namespace {

bool g_verbose = false;
QLoggingCategory::CategoryFilter g_rules = nullptr;

void filter(QLoggingCategory* category)
{
    if (g_rules)
        g_rules(category);
    // The program's own lines: those without a category and those of its
    // categories (the rows read whole, "vescor.rows"; the cells written, "vescor.writes").
    const bool programs = std::strcmp(category->categoryName(), "default") == 0
        || std::strncmp(category->categoryName(), "vescor.", 7) == 0;
    if (g_verbose && programs) {
        category->setEnabled(QtDebugMsg, true);
        category->setEnabled(QtInfoMsg, true);
    } else if (!g_verbose) {
        category->setEnabled(QtDebugMsg, false);
        category->setEnabled(QtInfoMsg, false);
    }
}

} // namespace

void Diagnostics::install()
{
    const QLoggingCategory::CategoryFilter previous = QLoggingCategory::installFilter(filter);
    if (previous != filter)
        g_rules = previous;
}

void Diagnostics::setVerbose(bool verbose)
{
    g_verbose = verbose;
    // Installing the filter again applies it to every category there is.
    install();
}
