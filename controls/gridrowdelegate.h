#pragma once

#include <QStyledItemDelegate>

class QTreeWidget;

// The report-style lists of the program: rows as high as a row picture of the skin, a thin
// grid line under each row and after each cell.
class CGridRowDelegate : public QStyledItemDelegate
{
public:
    // `rowPicture`: the BITMAP whose height the rows take; `fallbackHeight` when it is missing.
    CGridRowDelegate(int rowPicture, int fallbackHeight, QObject* parent);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // What the rows' height is: the picture's, or the fallback when it is missing.
    static int PictureHeight(int rowPicture, int fallbackHeight);

    // Makes `list` one of these lists: flat, whole rows selected one at a time, not editable,
    // no horizontal scrolling, drawn by a delegate of this kind.
    static void SetUpList(QTreeWidget* list, int rowPicture, int fallbackHeight);

private:
    int m_rowHeight;
};
