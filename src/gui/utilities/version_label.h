#pragma once

// A label that shows one field of a program's version information, by
// default the main program's own: "File Version: 3.5.0.10". It keeps its
// text up to date as its properties change and sizes itself to it.

#include "core/utilities/version_label_text.h"
#include "core/utilities/version_query.h"

#include <QLabel>

namespace clarivex {

class TVersionLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(TVersionResource VersionResource READ VersionResource WRITE setVersionResource)
    Q_PROPERTY(QString VersionResourceKey READ VersionResourceKey WRITE setVersionResourceKey)
    Q_PROPERTY(QString InfoPrefix READ InfoPrefix WRITE setInfoPrefix)
    Q_PROPERTY(bool ShowInfoPrefix READ ShowInfoPrefix WRITE setShowInfoPrefix)
    Q_PROPERTY(QString LangCharset READ LangCharset WRITE setLangCharset)
public:
    explicit TVersionLabel(QWidget *parent = nullptr);

    [[nodiscard]] TVersionResource VersionResource() const { return m_resource; }
    [[nodiscard]] QString VersionResourceKey() const { return m_key; }
    [[nodiscard]] QString InfoPrefix() const { return m_prefix; }
    [[nodiscard]] bool ShowInfoPrefix() const { return m_showPrefix; }
    // Eight hexadecimal digits, or "-1" until the first translation is taken.
    [[nodiscard]] QString LangCharset() const { return m_langCharset; }

    // Also sets the key and the prefix of the field.
    void setVersionResource(TVersionResource resource);
    void setVersionResourceKey(const QString &key);
    void setInfoPrefix(const QString &prefix);
    void setShowInfoPrefix(bool show);
    void setLangCharset(const QString &langCharset);

    // Where the information comes from: the main program's table unless set,
    // for example to VersionQuery::ofFile() of a Windows program file. A
    // language and code page taken from the old source's translation list is
    // taken again from the new one; one set by the caller stays.
    void setVersionSource(const VersionQuery &source);

private:
    void rebuild();

    VersionQuery m_source = VersionQuery::ofProgram();
    TVersionResource m_resource = vrFileVersion;
    QString m_key;
    QString m_prefix;
    bool m_showPrefix = true;
    QString m_langCharset = QString::fromLatin1(kFirstTranslation);
    bool m_langCharsetTaken = false; // from the translation list, not set by the caller
};

} // namespace clarivex
