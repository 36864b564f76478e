#pragma once

// Folder trees built in code for the finder's tests, and a recorder of what
// the finder reported.

#include "core/search/kv_find_file.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QTemporaryDir>

#include <functional>

namespace clarivex::test {

class FinderTree
{
public:
    FinderTree();
    ~FinderTree();
    [[nodiscard]] bool isValid() const { return m_dir.isValid(); }
    [[nodiscard]] const QByteArray &root() const { return m_root; }
    [[nodiscard]] QByteArray path(const QByteArray &relative) const
    {
        return m_root + '/' + relative;
    }

    // Creates the parent folders as needed.
    void file(const QByteArray &relative, const QByteArray &content = {}, int mode = 0644);
    void folder(const QByteArray &relative);
    void link(const QByteArray &relative, const QByteArray &target);
    void setModified(const QByteArray &relative, const QDateTime &when);

private:
    QTemporaryDir m_dir;
    QByteArray m_root;
};

struct FinderRun
{
    bool result = false;
    int afterExecute = 0;
    QList<QByteArray> files;  // relative to the tree's root, in report order
    QList<QByteArray> events; // "D " + folder, "F " + file, in order
    QList<TFindData> data;
};

// What a test adds to the recorder; paths relative to the tree's root.
struct FinderHooks
{
    std::function<void(const QByteArray &folder, bool &Cancel)> onChDir;
    std::function<void(const QByteArray &file, bool &Cancel)> onAddFile;
};

// Wires OnAddFile, OnChDir and AfterExecute to a recorder (other handlers
// stay as the test set them) and runs Execute on start.
FinderRun runFinder(TKvFindFile &finder, const FinderTree &tree, const QByteArray &start,
                    const FinderHooks &hooks = {});

} // namespace clarivex::test
