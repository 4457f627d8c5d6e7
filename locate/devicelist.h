#pragma once

#include <QTreeWidget>

// The Locate page's list of found devices: report style without a header, one row per device,
// rows as high as the page's row picture, grid lines. Only the MAC and IP address columns show;
// the others carry the values that Connect reads back.
class CDeviceList : public QTreeWidget
{
    Q_OBJECT
public:
    enum Column { Model, MACAddress, IPAddress, SubnetMask, UserName, Password, kColumnCount };

    explicit CDeviceList(QWidget* parent = nullptr);

    // Makes the six columns for the list's present width.
    void MakeColumns();
    void AddDevice(const QStringList& columns);

    static int RowHeight();

signals:
    // A click anywhere in the list, rows or empty space, after the selection has followed it.
    void listClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
