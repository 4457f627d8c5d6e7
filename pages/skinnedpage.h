#pragma once

#include "controls/ptpicture.h"
#include "pages/navigation.h"
#include "pages/skin.h"

#include <QWidget>
#include <array>

class CHMXStatic;
class CPTButton;

// Control ids and background picture of one console page.
struct PageSkin {
    int background;
    // The Locate step; the six other steps follow it.
    int firstStepId;
    int closeId;
    int minimizeId;
    int macLabelId;
    int ipLabelId;
    Skin::Step ownStep;
    // The password page keeps what the user typed: it is laid out only once.
    bool layoutOnShow = true;
};

// The skin every console page shares: background picture, step list, Close and Minimize, the
// device's MAC and IP address at the bottom left, and the top band that drags the program window.
// A page adds its own controls in its constructor, extends LayoutControls to place them, and ends
// its constructor with OnInitDialog().
class CSkinnedPage : public QWidget
{
    Q_OBJECT
public:
    CSkinnedPage(QWidget* parent, const PageSkin& skin);

    CPTButton* StepButton(Skin::Step step) const { return m_steps[step]; }
    CPTButton* CloseButton() const { return m_close; }
    CPTButton* MinimizeButton() const { return m_minimize; }
    CHMXStatic* MACLabel() const { return m_macLabel; }
    CHMXStatic* IPLabel() const { return m_ipLabel; }
    const PageSkin& Skin() const { return m_skin; }

    // Where Close, Minimize, the Locate step and the end of a wait lead; none for a page alone.
    void SetNavigation(INavigation* navigation) { m_navigation = navigation; }
    INavigation* Navigation() const { return m_navigation; }
    void ShowLocatePage();

signals:
    // A step to another console page: the console shows it in place of this one.
    void PageRequested(QWidget* page);

protected:
    // Loads the background and lays the page out once.
    void OnInitDialog();
    // The page's own controls in the order Tab visits them, before the steps and title buttons.
    void SetContentTabOrder(std::initializer_list<QWidget*> content);
    // Runs at start and, except on the password page, every time the page is shown.
    virtual void LayoutControls();
    // The page's own work when it is shown, after the layout, and when it is hidden.
    virtual void OnPageShown() {}
    virtual void OnPageHidden() {}

    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void OnStepClicked(Skin::Step step);

    PageSkin m_skin;
    INavigation* m_navigation = nullptr;
    CPTPicture m_background;
    std::array<CPTButton*, Skin::kStepCount> m_steps{};
    CPTButton* m_close = nullptr;
    CPTButton* m_minimize = nullptr;
    CHMXStatic* m_macLabel = nullptr;
    CHMXStatic* m_ipLabel = nullptr;
};

// The console page behind a step (Repeater: the summary page, ...); null for Locate and when no
// console lives.
QWidget* ConsolePageForStep(Skin::Step step);
