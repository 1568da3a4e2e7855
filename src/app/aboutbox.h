#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>
#include <string_view>

class QFrame;
class QLabel;
class QPushButton;

namespace quorbit {

// The "About Program" dialog. Its children carry the names the language files
// use ("LabelAbout", "LabelSite", ...), and its size follows its texts.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    using UrlOpener = std::function<void(const QUrl&)>;

    explicit TAboutBox(QWidget* parent = nullptr);

    // Sets the window caption for an empty `control`, else the text of the
    // child label of that name; any other name changes nothing.
    void setText(std::string_view control, const QString& text);
    // What setText's `control` shows until a text is set; empty for a name no label has.
    static QString builtInText(std::string_view control);

    // Replaces how the link is opened (QDesktopServices::openUrl by default).
    void setUrlOpener(UrlOpener opener);

    // The address a link text opens: the text as a URL when it is an http or
    // https address with a host, else an empty URL, which opens nothing.
    static QUrl linkTarget(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setLinkHot(bool hot);

    QFrame* m_panel = nullptr;
    QLabel* m_site = nullptr;
    QPushButton* m_ok = nullptr;
    UrlOpener m_openUrl;
};

} // namespace quorbit
