#include "locate/devicelist.h"

#include "controls/gridrowdelegate.h"
#include "platform/stringtable.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace
{

// The row picture is only there to give the rows their height.
constexpr int kRowPicture = 249;
constexpr int kFallbackRowHeight = 35;

} // namespace

CDeviceList::CDeviceList(QWidget* parent) : QTreeWidget(parent)
{
    CGridRowDelegate::SetUpList(this, kRowPicture, kFallbackRowHeight);
}

int CDeviceList::RowHeight()
{
    static const int height = CGridRowDelegate::PictureHeight(kRowPicture, kFallbackRowHeight);
    return height;
}

void CDeviceList::MakeColumns()
{
    setColumnCount(kColumnCount);
    setHeaderLabels({LoadString(114), LoadString(116), LoadString(115), u"Subnet Mask"_qs,
                     u"UserName"_qs, u"Password"_qs});
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);
    const int width = this->width();
    const int widths[kColumnCount] = {0, int(width * 0.55), int(width * 0.42), 0, 0, 0};
    for (int column = 0; column < kColumnCount; ++column) {
        header()->resizeSection(column, widths[column]);
        setColumnHidden(column, widths[column] == 0);
    }
}

void CDeviceList::AddDevice(const QStringList& columns)
{
    auto* item = new QTreeWidgetItem(this, columns);
    item->setTextAlignment(IPAddress, Qt::AlignRight | Qt::AlignVCenter);
}

void CDeviceList::mousePressEvent(QMouseEvent* event)
{
    // As in a list view: a press on no row leaves no row selected.
    if (!indexAt(event->position().toPoint()).isValid()) {
        clearSelection();
        setCurrentIndex(QModelIndex());
    }
    QTreeWidget::mousePressEvent(event);
}

void CDeviceList::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    emit listClicked();
}
