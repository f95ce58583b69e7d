#include "RefusalWatch.h"

#include "CellInputCheck.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

RefusalWatch::RefusalWatch(QLineEdit* editor, const FieldInfo& field, const QString& limitText, bool wholeEntry)
    : QObject(editor)
    , m_editor(editor)
    , m_field(field)
    , m_limitText(limitText)
    , m_wholeEntry(wholeEntry)
    , m_length(editor->text().size())
{
    editor->installEventFilter(this);
    connect(editor, &QLineEdit::inputRejected, this, &RefusalWatch::keyRefused);
    connect(editor, &QLineEdit::textEdited, this, &RefusalWatch::textEdited);
    connect(editor, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_editor->isModified())
            m_length = text.size(); // set by the program, not typed
    });
}

void RefusalWatch::watchFirst(QWidget* editor)
{
    if (!editor)
        return;
    // Installing again moves a filter in front of the others.
    for (RefusalWatch* watch : editor->findChildren<RefusalWatch*>(QString(), Qt::FindDirectChildrenOnly))
        editor->installEventFilter(watch);
}

bool RefusalWatch::refusesEntry(QWidget* editor)
{
    RefusalWatch* watch = editor ? editor->findChild<RefusalWatch*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!watch || watch->m_refusal.isEmpty())
        return false;
    emit watch->refused(QStringLiteral("Ячейка не изменена: при вводе был отклонён символ. %1").arg(watch->m_refusal));
    return true;
}

QString RefusalWatch::why() const
{
    QString input = m_editor->text();
    const auto* check = dynamic_cast<const CellInputCheck*>(m_editor->validator());
    if (check) {
        int position = m_editor->cursorPosition();
        if (m_editor->validator()->validate(input, position) == QValidator::Invalid && !check->lastProblem().isEmpty())
            return check->lastProblem();
        return check->incompleteProblem(input);
    }
    return m_limitText.isEmpty() ? QString() : CellInputCheck::refusal(m_field, input, m_limitText);
}

void RefusalWatch::keyRefused()
{
    const auto* check = dynamic_cast<const CellInputCheck*>(m_editor->validator());
    // Without a check of its own (a mask) the key refused is what is quoted: the text has not taken it.
    const QString problem = check && !check->lastProblem().isEmpty() ? check->lastProblem()
        : !check && !m_typed.isEmpty() && !m_limitText.isEmpty() ? CellInputCheck::refusal(m_field, m_typed, m_limitText)
                                                                 : why();
    if (m_wholeEntry)
        m_refusal = problem.isEmpty() ? QStringLiteral("Введите значение заново.") : problem;
    if (!problem.isEmpty())
        emit refused(problem);
}

void RefusalWatch::textEdited(const QString& text)
{
    // A deletion after a refused key is the user mending the entry.
    if (text.size() < m_length)
        m_refusal.clear();
    m_length = text.size();
}

bool RefusalWatch::eventFilter(QObject* watched, QEvent* event)
{
    // A part of an entry left by a click or Tab elsewhere is not taken: the user is told why.
    if (watched == m_editor && event->type() == QEvent::FocusOut && m_editor->isModified()
        && !m_editor->hasAcceptableInput()) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const QString problem = why();
        const bool leftByUser =
            reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
        if (leftByUser && !problem.isEmpty())
            emit refused(QStringLiteral("Ячейка не изменена: ввод не закончен. %1").arg(problem));
    }
    if (watched == m_editor && event->type() == QEvent::KeyPress) {
        m_typed = static_cast<QKeyEvent*>(event)->text();
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !m_editor->hasAcceptableInput()) {
            const QString problem = why();
            if (!problem.isEmpty())
                emit refused(problem);
        }
    }
    return false;
}
