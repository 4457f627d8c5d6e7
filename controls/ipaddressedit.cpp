#include "controls/ipaddressedit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyleOptionFrame>

namespace
{

constexpr int kMaxValue = 255;

} // namespace

CIPAddressEdit::CIPAddressEdit(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_StyledBackground);
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 1, 3, 1);
    layout->setSpacing(0);
    auto* digits = new QRegularExpressionValidator(QRegularExpression(u"[0-9]{0,3}"_qs), this);
    for (int i = 0; i < kFields; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(u"."_qs, this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        auto* field = new QLineEdit(this);
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(digits);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { OnEdited(i); });
        layout->addWidget(field, 1);
        if (i > 0)
            field->setFocusPolicy(Qt::ClickFocus);
        m_fields[size_t(i)] = field;
    }
    setFocusProxy(m_fields[0]);
}

std::array<std::optional<int>, CIPAddressEdit::kFields>
CIPAddressEdit::ParseFields(QStringView dotted)
{
    std::array<std::optional<int>, kFields> fields{};
    const QList<QStringView> parts = dotted.split(u'.');
    for (int i = 0; i < kFields && i < parts.size(); ++i) {
        const QStringView part = parts[i].trimmed();
        if (part.isEmpty())
            continue;
        int value = 0;
        bool digits = true;
        for (QChar c : part) {
            if (c < u'0' || c > u'9') {
                digits = false;
                break;
            }
            value = std::min(kMaxValue, value * 10 + (c.unicode() - u'0'));
        }
        if (digits)
            fields[size_t(i)] = value;
    }
    return fields;
}

QString CIPAddressEdit::Text() const
{
    QStringList parts;
    for (int i = 0; i < kFields; ++i)
        parts.append(QString::number(Field(i)));
    return parts.join(u'.');
}

void CIPAddressEdit::SetText(QStringView dotted)
{
    const auto fields = ParseFields(dotted);
    for (int i = 0; i < kFields; ++i)
        m_fields[size_t(i)]->setText(fields[size_t(i)] ? QString::number(*fields[size_t(i)])
                                                       : QString());
    emit changed();
}

void CIPAddressEdit::Clear()
{
    for (QLineEdit* field : m_fields)
        field->clear();
    emit changed();
}

int CIPAddressEdit::Field(int index) const
{
    if (index < 0 || index >= kFields)
        return 0;
    return std::min(kMaxValue, m_fields[size_t(index)]->text().toInt());
}

bool CIPAddressEdit::IsBlank() const
{
    for (const QLineEdit* field : m_fields) {
        if (!field->text().isEmpty())
            return false;
    }
    return true;
}

void CIPAddressEdit::SetFieldFocus(int index)
{
    QLineEdit* field = m_fields[size_t(std::clamp(index, 0, kFields - 1))];
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void CIPAddressEdit::SetAccessibleName(const QString& name)
{
    setAccessibleName(name);
    for (int i = 0; i < kFields; ++i) {
        m_fields[size_t(i)]->setAccessibleName(name);
        m_fields[size_t(i)]->setAccessibleDescription(
            QStringLiteral("Part %1 of %2").arg(i + 1).arg(kFields));
    }
}

int CIPAddressEdit::FocusedField() const
{
    for (int i = 0; i < kFields; ++i) {
        if (m_fields[size_t(i)]->hasFocus())
            return i;
    }
    return -1;
}

int CIPAddressEdit::IndexOf(QObject* field) const
{
    for (int i = 0; i < kFields; ++i) {
        if (m_fields[size_t(i)] == field)
            return i;
    }
    return -1;
}

void CIPAddressEdit::OnEdited(int index)
{
    QLineEdit* field = m_fields[size_t(index)];
    if (field->text().toInt() > kMaxValue)
        field->setText(QString::number(kMaxValue));
    if (field->text().size() == 3 && field->cursorPosition() == 3 && index + 1 < kFields)
        SetFieldFocus(index + 1);
    emit changed();
}

bool CIPAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    const int index = IndexOf(watched);
    if (index < 0 || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = m_fields[size_t(index)];
    switch (key->key()) {
    case Qt::Key_Period:
    case Qt::Key_Space:
        if (index + 1 < kFields && !field->text().isEmpty())
            SetFieldFocus(index + 1);
        return true;
    case Qt::Key_Backspace:
        if (field->cursorPosition() == 0 && !field->hasSelectedText() && index > 0) {
            QLineEdit* previous = m_fields[size_t(index - 1)];
            previous->setFocus(Qt::OtherFocusReason);
            previous->setCursorPosition(int(previous->text().size()));
            return true;
        }
        break;
    case Qt::Key_Left:
        if (field->cursorPosition() == 0 && index > 0) {
            QLineEdit* previous = m_fields[size_t(index - 1)];
            previous->setFocus(Qt::OtherFocusReason);
            previous->setCursorPosition(int(previous->text().size()));
            return true;
        }
        break;
    case Qt::Key_Right:
        if (field->cursorPosition() == field->text().size() && index + 1 < kFields) {
            QLineEdit* next = m_fields[size_t(index + 1)];
            next->setFocus(Qt::OtherFocusReason);
            next->setCursorPosition(0);
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CIPAddressEdit::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        update();
}

void CIPAddressEdit::paintEvent(QPaintEvent*)
{
    // One frame around all four fields, so it reads as a single entry.
    QPainter painter(this);
    QStyleOptionFrame option;
    option.initFrom(this);
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
}
