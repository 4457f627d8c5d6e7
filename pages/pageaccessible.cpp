#include "pages/pageaccessible.h"

#include "controls/markup.h"
#include "pages/messagedlg.h"
#include "pages/progressdlg.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace
{

// Named after the message it shows, so that a screen reader announces the text as the dialog
// appears, before it reads the focused OK.
class CMessageAccessible : public QAccessibleWidget
{
public:
    explicit CMessageAccessible(CTarn_MessageDlg* dialog)
        : QAccessibleWidget(dialog, QAccessible::AlertMessage)
    {
    }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Name)
            return Markup::PlainText(static_cast<CTarn_MessageDlg*>(widget())->m_strMessage);
        return QAccessibleWidget::text(type);
    }
};

class CProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit CProgressAccessible(CTarn_Progress* dialog)
        : QAccessibleWidget(dialog, QAccessible::ProgressBar)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Name)
            return Markup::PlainText(Dialog()->m_strMessage);
        if (type == QAccessible::Value)
            return QString::number(Percent()) + u'%';
        return QAccessibleWidget::text(type);
    }

    QVariant currentValue() const override { return Percent(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 10; }

private:
    CTarn_Progress* Dialog() const { return static_cast<CTarn_Progress*>(widget()); }
    int Percent() const { return PageAccessibility::ProgressPercent(Dialog()->CurrentBitmap()); }
};

QAccessibleInterface* MakeAccessible(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1StringView("CTarn_MessageDlg"))
        return new CMessageAccessible(static_cast<CTarn_MessageDlg*>(widget));
    if (className == QLatin1StringView("CTarn_Progress"))
        return new CProgressAccessible(static_cast<CTarn_Progress*>(widget));
    // A page is a panel: readers announce its name and description as the focus enters it,
    // where they would pass over a plain filler.
    if (className == QLatin1StringView("CSkinnedPage") ||
        className == QLatin1StringView("CSearchDlg"))
        return new QAccessibleWidget(widget, QAccessible::Pane);
    return nullptr;
}

} // namespace

namespace PageAccessibility
{

void Install()
{
    static const bool installed = [] {
        QAccessible::installFactory(MakeAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

QString Instructions(const PageText::Page& text)
{
    QStringList lines;
    for (const char16_t* line : text.instructions) {
        if (line)
            lines.append(QString::fromUtf16(line));
    }
    return lines.join(u'\n');
}

void DescribePage(QWidget* page, const PageText::Page& text)
{
    Install();
    page->setAccessibleName(QString::fromUtf16(text.title));
    page->setAccessibleDescription(Instructions(text));
}

int ProgressPercent(int bitmap)
{
    if (bitmap == CTarn_Progress::FrameBitmap(10))
        return 100;
    const int frame = bitmap - CTarn_Progress::FrameBitmap(0);
    return frame >= 0 && frame < 10 ? frame * 10 : 0;
}

void NotifyProgress(QWidget* progress)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(
        progress, ProgressPercent(static_cast<CTarn_Progress*>(progress)->CurrentBitmap()));
    QAccessible::updateAccessibility(&event);
}

} // namespace PageAccessibility
