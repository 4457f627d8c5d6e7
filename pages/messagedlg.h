#pragma once

#include <QDialog>
#include <QString>

class QLabel;

// The console's message box: one text and an OK button, run modally.
class CTarn_MessageDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kOkButton = 1104;

    explicit CTarn_MessageDlg(QWidget* parent);

    // Set by the caller before each run.
    QString m_strMessage;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_text = nullptr;
};
