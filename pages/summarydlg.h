#pragma once

#include <QWidget>

// The repeater summary page of the device console. This minimal form carries only what the console
// calls.
class CTarn_SummaryDlg : public QWidget
{
    Q_OBJECT
public:
    explicit CTarn_SummaryDlg(QWidget* parent);

    // Shows the status values as they were last read from the device.
    void FillSummary();
};
