#include "controls/gridrowdelegate.h"

#include "controls/ptpicture.h"

#include <QPainter>
#include <QTreeWidget>

namespace
{
const QColor kGridColor(208, 215, 223);
} // namespace

CGridRowDelegate::CGridRowDelegate(int rowPicture, int fallbackHeight, QObject* parent)
    : QStyledItemDelegate(parent), m_rowHeight(PictureHeight(rowPicture, fallbackHeight))
{
}

int CGridRowDelegate::PictureHeight(int rowPicture, int fallbackHeight)
{
    CPTPicture picture;
    return picture.LoadId(rowPicture, u"BITMAP") ? picture.Image().height() : fallbackHeight;
}

void CGridRowDelegate::SetUpList(QTreeWidget* list, int rowPicture, int fallbackHeight)
{
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setIndentation(0);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setItemDelegate(new CGridRowDelegate(rowPicture, fallbackHeight, list));
}

QSize CGridRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(m_rowHeight);
    return size;
}

void CGridRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(kGridColor);
    const QRect cell = option.rect;
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    painter->drawLine(cell.topRight(), cell.bottomRight());
    painter->restore();
}
