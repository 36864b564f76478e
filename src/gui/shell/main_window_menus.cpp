// The main window's menus: the main menu and the "Scan Files" drop-down.
#include "gui/shell/main_window.h"
#include "gui/toolkit/side_bar.h"

#include "gui/cleaning/file_list_actions.h"

#include <QAction>
#include <QFrame>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace clarivex {

void TClarivexMainForm::buildScanPopup()
{
    ExplorerPopup = new QFrame(this, Qt::Popup);
    ExplorerPopup->setObjectName(QStringLiteral("ExplorerPopup"));
    ExplorerPopup->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(ExplorerPopup);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    const std::pair<const char *, TScanKind> scans[] = {
        {"Scan &Temporary Files", skTempFiles},
        {"Scan &Duplicate Files", skDuplicates},
        {"Scan D&irectories", skDirectories},
        {"Scan Dead &Shortcuts", skDeadShortcuts},
    };
    for (const auto &[caption, kind] : scans) {
        auto *item = new QPushButton(QString::fromLatin1(caption), ExplorerPopup);
        item->setFlat(true);
        item->setStyleSheet(QStringLiteral("text-align: left; padding: 3px 8px;"));
        connect(item, &QPushButton::clicked, this, [this, kind = kind] {
            ExplorerPopup->hide();
            emit scanRequested(kind);
        });
        layout->addWidget(item);
    }
    connect(btnScan, &QPushButton::clicked, this, [this] {
        ExplorerPopup->adjustSize();
        // Next to the button, to its left, so it stays on the screen.
        const QPoint at = btnScan->mapToGlobal(QPoint(-ExplorerPopup->width() - 2, 0));
        ExplorerPopup->move(at);
        ExplorerPopup->show();
    });
}

void TClarivexMainForm::buildMainMenu()
{
    QMenuBar *bar = menuBar();
    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    QAction *saveList = file->addAction(QStringLiteral("Save List &As..."), this, [this] {
        if (m_listActions) m_listActions->ItemSaveListAsClick();
    });
    saveList->setObjectName(QStringLiteral("MenuItemSaveListAs"));
    file->addSeparator();
    buildHistoryActions(file);
    file->addSeparator();
    file->addAction(QStringLiteral("&Close"), this, &QWidget::close);

    const auto pageAction = [this](QMenu *menu, const char *caption, const char *pageName) {
        const QString name = QString::fromLatin1(pageName);
        menu->addAction(QString::fromLatin1(caption), this, [this, name] {
            sideBar()->openGroupOf(name); // the side bar shows where the page lives
            ShowPage(name);
        });
    };
    QMenu *tools = bar->addMenu(QStringLiteral("&Scan Tools"));
    pageAction(tools, "&Options", "Options");
    pageAction(tools, "&Temporary Files", "Temporary Files");
    pageAction(tools, "&Duplicate Files", "Duplicate Files");
    pageAction(tools, "D&ead Shortcuts", "Dead Shortcuts");
    pageAction(tools, "&Clean Directories", "Clean Directories");
    pageAction(tools, "&FAT-Losses", "FAT-Losses");
    pageAction(tools, "&Schedule Options", "Schedule Options");
    pageAction(tools, "&Logs", "Logs");
    QMenu *system = bar->addMenu(QStringLiteral("S&ystem"));
    pageAction(system, "&Add/Remove Programs", "Add / Remove Programs");
    pageAction(system, "&System Tools", "System Tools");

    MenuItemScan = bar->addMenu(QStringLiteral("Scan..."));
    MenuItemScan->setObjectName(QStringLiteral("MenuItemScan"));
    const std::pair<const char *, TScanKind> scans[] = {
        {"Temporary Files", skTempFiles},
        {"Duplicate Files", skDuplicates},
        {"Dead Shortcuts", skDeadShortcuts},
        {"Directories", skDirectories},
    };
    for (const auto &[caption, kind] : scans) {
        MenuItemScan->addAction(QString::fromLatin1(caption), this,
                                [this, kind = kind] { emit scanRequested(kind); });
    }

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    QAction *helpAction =
        help->addAction(QStringLiteral("&Help"), this, &TClarivexMainForm::helpRequested);
    helpAction->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    help->addAction(QStringLiteral("&Check program updates..."), this,
                    &TClarivexMainForm::updateCheckRequested);
    help->addSeparator();
    help->addAction(QStringLiteral("&About..."), this, &TClarivexMainForm::ShowAbout);
}

} // namespace clarivex
