#include "controls/statictextaccessible.h"

#include "controls/hmxstatic.h"
#include "controls/markup.h"
#include "controls/ptlabel.h"
#include "controls/xhtmlstatic.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace
{

QString ShownText(QObject* object)
{
    if (const auto* markup = qobject_cast<CXHTMLStatic*>(object))
        return Markup::PlainText(markup->GetWindowText());
    if (const auto* text = qobject_cast<CHMXStatic*>(object))
        return text->Text();
    if (const auto* label = qobject_cast<CPTLabel*>(object))
        return label->ShownText();
    return {};
}

class CStaticTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit CStaticTextAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::StaticText)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Name && widget()->accessibleName().isEmpty())
            return ShownText(widget());
        return QAccessibleWidget::text(type);
    }

    // Read only, no caret: a painted text.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override
    {
        return ShownText(widget()).mid(start, end - start);
    }
    int characterCount() const override { return int(ShownText(widget()).size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }
};

QAccessibleInterface* MakeAccessible(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1StringView("CXHTMLStatic") ||
        className == QLatin1StringView("CHMXStatic") || className == QLatin1StringView("CPTLabel"))
        return new CStaticTextAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void InstallStaticTextAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(MakeAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

void NotifyStaticTextChanged(QWidget* widget)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}
