#pragma once

// The side navigation bar: groups of large-icon items stacked like the bars of
// an address-book tool, one group open at a time. Clicking a group's title
// opens it; clicking an item reports its caption.

#include <QIcon>
#include <QWidget>

#include <vector>

class QListWidget;
class QToolButton;
class QVBoxLayout;

namespace clarivex::ui {

class SideBar : public QWidget
{
    Q_OBJECT
public:
    explicit SideBar(QWidget *parent = nullptr);

    int addGroup(const QString &title);
    void addItem(int group, const QString &caption, const QIcon &icon);

    int groupCount() const { return int(m_groups.size()); }
    int activeGroup() const { return m_active; }
    void setActiveGroup(int index);
    QString groupTitle(int index) const;
    QStringList itemCaptions(int group) const;
    // Acts as a click on every item with that caption, in any group; false when none has it.
    bool clickItem(const QString &caption);
    // Opens the first group holding an item with that caption, if any.
    void openGroupOf(const QString &caption);

    // Tall enough for every title and the longest group's items, none cut.
    QSize sizeHint() const override;

signals:
    void itemClicked(const QString &caption);
    void activeGroupChanged(int index);

private:
    struct Group
    {
        QToolButton *title = nullptr;
        QListWidget *items = nullptr;
    };
    std::vector<Group> m_groups;
    QVBoxLayout *m_layout = nullptr;
    int m_active = -1;
};

} // namespace clarivex::ui
