#include "CellInputCheck.h"

#include "EntryCheck.h"
#include "TableModel.h"

#include "device/ValueCodec.h"

CellInputCheck::CellInputCheck(const FieldInfo& field, const QString& limitText)
    : m_field(field)
    , m_limitText(limitText)
{
}

QString CellInputCheck::refusal(const FieldInfo& field, const QString& text, const QString& why)
{
    return ValueCodec::refusal(field, text.toUtf8(), why).problem;
}

QString CellInputCheck::incompleteProblem(const QString& input) const
{
    return m_limitText.isEmpty() ? QString() : refusal(m_field, input, m_limitText);
}

bool CellInputCheck::checkedWhileTyped(const QString& input) const
{
    if (input.isEmpty())
        return false;
    if (m_field.m_deviceType == FieldInfo::String866)
        return !input.startsWith(QChar(0x00A9));
    // Numbers only in number editors: a text typed into a number field is
    // judged when it is committed.
    if (m_field.m_guiType != FieldInfo::Int && m_field.m_guiType != FieldInfo::Money)
        return false;
    switch (m_field.m_deviceType) {
    case FieldInfo::Bin1:
    case FieldInfo::Bin2:
    case FieldInfo::Bin2BigEndian:
    case FieldInfo::Bcd1:
    case FieldInfo::Bcd2:
    case FieldInfo::Bcd3:
    case FieldInfo::Bcd4:
    case FieldInfo::Bcd5:
    case FieldInfo::Bcd6:
    case FieldInfo::Bcd8:
    case FieldInfo::Bcd64_1:
        return true;
    case FieldInfo::Bin4:
        return !m_field.m_ipAddress;
    default:
        return false;
    }
}

QValidator::State CellInputCheck::judge(const QString& input, QValidator::State editorState) const
{
    m_problem.clear();
    if (editorState == QValidator::Invalid) {
        if (!m_limitText.isEmpty())
            m_problem = refusal(m_field, input, m_limitText);
        return QValidator::Invalid;
    }
    if (!checkedWhileTyped(input))
        return editorState;
    // A number below the field's least can still grow into its range; one
    // above its greatest cannot.
    if (m_field.m_guiType == FieldInfo::Int) {
        bool ok = false;
        const double number = input.toDouble(&ok);
        if (ok && number > m_field.m_max) {
            if (!m_limitText.isEmpty())
                m_problem = refusal(m_field, input, m_limitText);
            return QValidator::Invalid;
        }
        if (ok && number < m_field.m_min)
            return QValidator::Intermediate;
    }
    QByteArray stored;
    if (!TableModel::storedValue(m_field, input, stored))
        return editorState;
    const QString problem = EntryCheck::problem(m_field, stored);
    if (!problem.isEmpty()) {
        m_problem = problem;
        return QValidator::Invalid;
    }
    return editorState;
}
