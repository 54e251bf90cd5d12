#pragma once

#include <QTextEdit>

namespace platform {

// The editable HTML view. Its document is read back in the dialect the translation engine
// understands (paragraphs, <br>, &nbsp;, three escaped characters, bold, italic, underline),
// never as Qt's own HTML, whose style block would leak into the plain text.
class DHTMLEdit : public QTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY(DHTMLEdit)

public:
    explicit DHTMLEdit(QWidget *parent = nullptr);

    // Replaces and shows the whole document.
    void setDocumentHTML(const QString &html);
    // The head of the document last set, then the body as it is now.
    QString DocumentHTML() const;

protected:
    // Nothing a document names is loaded, local files included: a result comes from a provider.
    QVariant loadResource(int type, const QUrl &name) override;

private:
    QString head; // up to and including the body start tag
    QString tail; // from the body end tag on
};

} // namespace platform
