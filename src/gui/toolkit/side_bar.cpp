#include "gui/toolkit/side_bar.h"

#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace clarivex::ui {

namespace {
constexpr int kWholeItems = 4;

// Draws an item as a large icon centred over its caption, which wraps.
class ItemDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kIcon = 32;
    // The caption's width inside an item of the given width: the same in
    // measuring and in painting, so that a caption measured as two lines is
    // painted as two lines.
    static int textWidth(int itemWidth) { return itemWidth - 10; }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
        const int width = view ? view->viewport()->width() : 100;
        const QRect text = option.fontMetrics.boundingRect(QRect(0, 0, textWidth(width), 1000),
                                                           Qt::AlignHCenter | Qt::TextWordWrap,
                                                           index.data().toString());
        return {width, kIcon + text.height() + 14};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRect r = option.rect.adjusted(3, 2, -3, -2);
        if (option.state & QStyle::State_MouseOver) {
            QColor hover = option.palette.color(QPalette::Light);
            hover.setAlpha(90);
            painter->setPen(QColor(255, 255, 255, 140));
            painter->setBrush(hover);
            painter->drawRoundedRect(r, 4, 4);
        }
        const QIcon icon = qvariant_cast<QIcon>(index.data(Qt::DecorationRole));
        const QRect iconRect(r.center().x() - kIcon / 2, r.top() + 4, kIcon, kIcon);
        icon.paint(painter, iconRect);
        painter->setPen(Qt::white);
        painter->drawText(QRect(option.rect.left() + 5, iconRect.bottom() + 3,
                                textWidth(option.rect.width()), r.bottom() - iconRect.bottom()),
                          Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                          index.data().toString());
        painter->restore();
    }
};
} // namespace

SideBar::SideBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("AutoOutLookBar"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(1);
}

int SideBar::addGroup(const QString &title)
{
    Group group;
    group.title = new QToolButton(this);
    group.title->setText(title);
    group.title->setToolButtonStyle(Qt::ToolButtonTextOnly);
    group.title->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const int index = int(m_groups.size());
    connect(group.title, &QToolButton::clicked, this, [this, index] { setActiveGroup(index); });

    group.items = new QListWidget(this);
    group.items->setItemDelegate(new ItemDelegate(group.items));
    group.items->setMouseTracking(true);
    group.items->setUniformItemSizes(false);
    group.items->setResizeMode(QListView::Adjust); // captions are measured again at a new width
    group.items->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    group.items->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    group.items->setFrameShape(QFrame::NoFrame);
    // A deep shade of the theme's highlight, so the bar follows the desktop's hue.
    QPalette pal = group.items->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Highlight).darker(230));
    group.items->setPalette(pal);
    group.items->setFocusPolicy(Qt::NoFocus);
    group.items->setVisible(false);
    connect(group.items, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        item->listWidget()->clearSelection();
        emit itemClicked(item->text());
    });

    m_layout->addWidget(group.title);
    m_layout->addWidget(group.items, 1);
    m_groups.push_back(group);
    if (m_active < 0) setActiveGroup(0);
    return index;
}

QSize SideBar::sizeHint() const
{
    // Every title, and the first items of the longest group whole (the scan
    // pages of "Scan Tools"): a caption cut in half at the bar's foot reads as
    // a fault. Measured at the bar's own width, as the items will be painted.
    int height = 0;
    int items = 0;
    for (const Group &group : m_groups) {
        height += group.title->sizeHint().height() + m_layout->spacing();
        const int text = ItemDelegate::textWidth(width() - 2 * group.items->frameWidth());
        const QFontMetrics metrics(group.items->font());
        int rows = 2 * group.items->frameWidth();
        for (int i = 0; i < std::min(group.items->count(), kWholeItems); ++i)
            rows += ItemDelegate::kIcon + 14 +
                    metrics
                        .boundingRect(QRect(0, 0, text, 1000), Qt::AlignHCenter | Qt::TextWordWrap,
                                      group.items->item(i)->text())
                        .height();
        items = std::max(items, rows);
    }
    return {QWidget::sizeHint().width(), height + items};
}

void SideBar::addItem(int group, const QString &caption, const QIcon &icon)
{
    QListWidget *list = m_groups.at(size_t(group)).items;
    auto *item = new QListWidgetItem(icon, caption, list);
    item->setToolTip(caption);
}

void SideBar::setActiveGroup(int index)
{
    if (index < 0 || index >= groupCount() || index == m_active) return;
    m_active = index;
    for (int i = 0; i < groupCount(); ++i)
        m_groups[size_t(i)].items->setVisible(i == index);
    emit activeGroupChanged(index);
}

QString SideBar::groupTitle(int index) const
{
    return index >= 0 && index < groupCount() ? m_groups[size_t(index)].title->text() : QString();
}

QStringList SideBar::itemCaptions(int group) const
{
    QStringList captions;
    if (group < 0 || group >= groupCount()) return captions;
    const QListWidget *list = m_groups[size_t(group)].items;
    for (int i = 0; i < list->count(); ++i)
        captions << list->item(i)->text();
    return captions;
}

void SideBar::openGroupOf(const QString &caption)
{
    for (int group = 0; group < groupCount(); ++group) {
        if (itemCaptions(group).contains(caption)) {
            setActiveGroup(group);
            return;
        }
    }
}

bool SideBar::clickItem(const QString &caption)
{
    bool found = false;
    for (int group = 0; group < groupCount(); ++group) {
        for (const QString &item : itemCaptions(group)) {
            if (item == caption) {
                found = true;
                emit itemClicked(caption);
            }
        }
    }
    return found;
}

} // namespace clarivex::ui
