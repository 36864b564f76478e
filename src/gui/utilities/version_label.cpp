#include "gui/utilities/version_label.h"

namespace clarivex {

TVersionLabel::TVersionLabel(QWidget *parent) : QLabel(parent)
{
    setWordWrap(false);
    setTextFormat(Qt::PlainText);
    setVersionResource(vrFileVersion);
}

void TVersionLabel::setVersionResource(TVersionResource resource)
{
    m_resource = resource;
    m_key = versionResourceKey(resource);
    m_prefix = versionResourcePrefix(resource);
    rebuild();
}

void TVersionLabel::setVersionResourceKey(const QString &key)
{
    if (key == m_key) return;
    m_key = key;
    rebuild();
}

void TVersionLabel::setInfoPrefix(const QString &prefix)
{
    if (prefix == m_prefix) return;
    m_prefix = prefix;
    rebuild();
}

void TVersionLabel::setShowInfoPrefix(bool show)
{
    if (show == m_showPrefix) return;
    m_showPrefix = show;
    rebuild();
}

void TVersionLabel::setLangCharset(const QString &langCharset)
{
    if (langCharset == m_langCharset) return;
    m_langCharset = langCharset;
    m_langCharsetTaken = false;
    rebuild();
}

void TVersionLabel::setVersionSource(const VersionQuery &source)
{
    m_source = source;
    if (m_langCharsetTaken) m_langCharset = QString::fromLatin1(kFirstTranslation);
    rebuild();
}

void TVersionLabel::rebuild()
{
    const QString before = m_langCharset;
    const QString value = versionValueText(m_source, m_resource, m_key, m_langCharset);
    if (m_langCharset != before) m_langCharsetTaken = true;
    setText(versionLabelText(value, m_prefix, m_showPrefix));
    adjustSize();
}

} // namespace clarivex
