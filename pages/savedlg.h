#pragma once

#include <QWidget>

// The reset page of the device console. This minimal form carries only what the console calls.
class CTarn_SaveDlg : public QWidget
{
    Q_OBJECT
public:
    explicit CTarn_SaveDlg(QWidget* parent);
};
