#pragma once

#include <QStyledItemDelegate>

namespace vellmar::combat {

// Draws a list row "first<TAB>second" in two columns: the part after the
// first tab starts at a fixed distance from the row's left edge, so it lines
// up under a heading above the list.
class TabColumnDelegate final : public QStyledItemDelegate
{
public:
    TabColumnDelegate(int tabStop, QObject *parent) : QStyledItemDelegate(parent), m_tabStop(tabStop) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int m_tabStop;
};

} // namespace vellmar::combat
