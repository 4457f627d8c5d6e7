#include "pages/skin.h"

#include "controls/ctlbutton.h"
#include "controls/ptbutton.h"
#include "platform/stringtable.h"

#include <QWidget>

bool Skin::PlaceControl(QWidget* control, int rectId)
{
    int x = 0, y = 0, w = 0, h = 0;
    if (!GetLayoutRect(rectId, x, y, w, h))
        return false;
    control->setGeometry(x, y, w, h);
    control->raise();
    return true;
}

void Skin::PlaceDHCPRadios(int rectId, CCTLButton* enable, CCTLButton* disable)
{
    constexpr int kSize = 15;
    constexpr int kDisableOffset = 70;
    constexpr COLORREF kBackground = MakeColorRef(255, 255, 255);
    int x = 0, y = 0, w = 0, h = 0;
    GetLayoutRect(rectId, x, y, w, h);
    const QPoint positions[] = {{x, y}, {x + kDisableOffset, y}};
    CCTLButton* const radios[] = {enable, disable};
    for (int i = 0; i < 2; ++i) {
        CCTLButton* radio = radios[i];
        radio->ClearCaption();
        radio->setGeometry(QRect(positions[i], QSize(kSize, kSize)));
        radio->raise();
        radio->setEnabled(false);
        // A display: the one drawn enabled must not become a Tab stop the user cannot act on.
        radio->setFocusPolicy(Qt::NoFocus);
        radio->SetBackgroundColor(kBackground);
        radio->update();
    }
}

void Skin::NameSkinButtons(const std::array<CPTButton*, kStepCount>& steps, int ownStep,
                           QWidget* minimize, QWidget* close)
{
    for (int step = 0; step < kStepCount; ++step) {
        QWidget* button = steps[size_t(step)];
        button->setAccessibleName(QString::fromUtf16(kStepNames[size_t(step)]));
        button->setAccessibleDescription(step == ownStep ? u"Current step"_qs : QString());
    }
    minimize->setAccessibleName(u"Minimize"_qs);
    close->setAccessibleName(u"Close"_qs);
}

void Skin::SetTabOrder(std::initializer_list<QWidget*> content,
                       const std::array<CPTButton*, kStepCount>& steps, QWidget* minimize,
                       QWidget* close)
{
    QList<QWidget*> order(content);
    for (CPTButton* step : steps)
        order.append(step);
    order.append(minimize);
    order.append(close);
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}
