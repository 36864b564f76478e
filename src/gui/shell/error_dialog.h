#pragma once

// The application-wide error dialog: a small borderless window, always on top,
// with a black title strip that drags it, an error icon, a message, a link to
// the support address and the error text in a read-only memo.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace clarivex {

class TClarivexShowError : public QDialog
{
    Q_OBJECT
public:
    explicit TClarivexShowError(QWidget *parent = nullptr);

    void setTitle(const QString &title);
    QString title() const;
    void setErrorText(const QString &text);
    QString errorText() const;
    void setMessage(const QString &message);
    QString message() const;
    void setLinkVisible(bool visible);

    static QString supportAddress();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *pTop = nullptr;
    QLabel *m_title = nullptr;
    QToolButton *sbClose = nullptr;
    QLabel *lblMessage = nullptr;
    QLabel *AutoURLLabel = nullptr;
    QPlainTextEdit *MemoError = nullptr;
    QPushButton *btnOK = nullptr;
    QPoint m_dragOffset;
};

} // namespace clarivex
