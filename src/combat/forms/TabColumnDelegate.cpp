#include "TabColumnDelegate.h"

#include <QApplication>
#include <QPainter>

namespace vellmar::combat {

void TabColumnDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const qsizetype tab = opt.text.indexOf(u'\t');
    if (tab < 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QString first = opt.text.left(tab);
    const QString second = opt.text.mid(tab + 1);

    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // Background, selection and focus as usual, the text drawn below.
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const int columnLeft = opt.rect.left() + m_tabStop;
    QRect firstRect = textRect;
    firstRect.setRight(columnLeft - 1);
    QRect secondRect = textRect;
    secondRect.setLeft(columnLeft);

    painter->save();
    painter->setFont(opt.font);
    const bool selected = opt.state.testFlag(QStyle::State_Selected);
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    painter->drawText(firstRect, align, opt.fontMetrics.elidedText(first, Qt::ElideRight, firstRect.width()));
    painter->drawText(secondRect, align, second);
    painter->restore();
}

} // namespace vellmar::combat
