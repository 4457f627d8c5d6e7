#pragma once

#include <QString>
#include <QStringView>
#include <QWidget>
#include <array>
#include <optional>

class QLineEdit;

// Four address fields of 0 to 255 with dots between them. A blank field reads as 0, typing a
// dot or a third digit moves on, Backspace in an empty field moves back. Tab enters at the first
// field and leaves the whole address, as one control.
class CIPAddressEdit : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kFields = 4;

    explicit CIPAddressEdit(QWidget* parent = nullptr);

    // Dotted decimal, blanks as 0: "192.168.0.1".
    QString Text() const;
    // Fills the fields from dotted decimal; fields it does not give become blank.
    void SetText(QStringView dotted);
    void Clear();

    int Field(int index) const;
    bool IsBlank() const;
    void SetFieldFocus(int index);
    int FocusedField() const;
    // Names the control and each of its fields, which are what a screen reader meets.
    void SetAccessibleName(const QString& name);

    // Splits dotted decimal into fields as typing would, each clamped to 255; blanks stay blank.
    static std::array<std::optional<int>, kFields> ParseFields(QStringView dotted);

signals:
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int IndexOf(QObject* field) const;
    void OnEdited(int index);

    std::array<QLineEdit*, kFields> m_fields{};
};
