#include "app/aboutbox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace quorbit {

namespace {

// Paints the program icon at the screen's own pixel density, so an SVG icon
// stays sharp at any scale and after a move to another screen.
class IconView : public QWidget {
public:
    explicit IconView(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(32, 32);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QApplication::windowIcon().paint(&painter, rect());
    }
};

QLabel* addLabel(QWidget* panel, QLayout* layout, const char* name, const QColor& colour, bool bold)
{
    const QString text = TAboutBox::builtInText(name);
    auto* label = new QLabel(text, panel);
    label->setObjectName(QLatin1String(name));
    // A language file may set any text; it is shown as it is, never as rich text.
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(text);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
    layout->addWidget(label);
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::WindowCloseButtonHint)
    , m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(builtInText({}));
    setModal(true);

    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("Panel1"));
    m_panel->setAccessibleName(QStringLiteral("About Quorbit"));
    m_panel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    // Moves over the panel itself, not over its labels, turn the link back to blue.
    m_panel->setMouseTracking(true);
    m_panel->installEventFilter(this);
    m_panel->setMinimumWidth(312);

    auto* icon = new IconView(m_panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setAccessibleName(QStringLiteral("Quorbit icon"));

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    addLabel(m_panel, texts, "LabelTitle", QColorConstants::Svg::navy, true);
    addLabel(m_panel, texts, "LabelAbout", QColorConstants::Svg::maroon, false);
    addLabel(m_panel, texts, "LabelAuthor", QColorConstants::Svg::navy, true);
    addLabel(m_panel, texts, "LabelEmail", QColorConstants::Svg::teal, true)->setWordWrap(true);
    m_site = addLabel(m_panel, texts, "LabelSite", QColorConstants::Svg::blue, false);
    m_site->setAccessibleDescription(QStringLiteral("Web site; a click opens it in the browser"));
    QFont linkFont = m_site->font();
    linkFont.setUnderline(true);
    m_site->setFont(linkFont);
    m_site->setCursor(Qt::PointingHandCursor);
    m_site->setMouseTracking(true);
    m_site->installEventFilter(this);

    auto* panelLayout = new QHBoxLayout(m_panel);
    panelLayout->setContentsMargins(10, 8, 10, 8);
    panelLayout->setSpacing(12);
    panelLayout->addWidget(icon, 0, Qt::AlignTop);
    panelLayout->addLayout(texts, 1);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OKButton"));
    m_ok->setAccessibleName(QStringLiteral("OK"));
    m_ok->setAccessibleDescription(QStringLiteral("Closes this window"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    // The dialog takes the size its texts need and cannot be resized.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_panel);
    layout->addWidget(m_ok, 0, Qt::AlignHCenter);
}

void TAboutBox::setText(std::string_view control, const QString& text)
{
    if (control.empty()) {
        setWindowTitle(text);
        return;
    }
    const QString name = QString::fromUtf8(control.data(), qsizetype(control.size()));
    if (auto* label = findChild<QLabel*>(name)) {
        label->setText(text);
        label->setAccessibleName(text);
    }
}

QString TAboutBox::builtInText(std::string_view control)
{
    static constexpr std::pair<std::string_view, const char*> texts[] = {{"", "About Program"},
                                                                         {"LabelTitle", "Quorbit 1.5"},
                                                                         {"LabelAbout", "Rename files and folders"},
                                                                         {"LabelAuthor", "The Quorbit team"},
                                                                         {"LabelEmail", "quorbit@example.org"},
                                                                         {"LabelSite", "https://quorbit.example.org/"}};
    for (const auto& [name, text] : texts) {
        if (name == control) {
            return QString::fromUtf8(text);
        }
    }
    return {};
}

void TAboutBox::setUrlOpener(UrlOpener opener)
{
    m_openUrl = std::move(opener);
}

QUrl TAboutBox::linkTarget(const QString& text)
{
    // The link's text comes from a language file; anything but a web address
    // (a local file, a program, a script) is never handed to the desktop.
    const QUrl url(text);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return {};
    return url;
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_site) {
        switch (event->type()) {
        case QEvent::Enter:
            setLinkHot(true);
            break;
        case QEvent::MouseMove:
            setLinkHot(true);
            // Accepted here, so the move does not reach the panel and turn the link blue.
            event->accept();
            return true;
        case QEvent::MouseButtonPress: {
            event->accept();
            const QUrl url = linkTarget(m_site->text());
            if (!url.isEmpty() && m_openUrl)
                m_openUrl(url);
            return true;
        }
        default:
            break;
        }
    } else if (watched == m_panel && event->type() == QEvent::MouseMove) {
        setLinkHot(false);
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::setLinkHot(bool hot)
{
    const QColor colour = hot ? QColorConstants::Svg::red : QColorConstants::Svg::blue;
    QPalette palette = m_site->palette();
    if (palette.color(QPalette::WindowText) == colour)
        return;
    palette.setColor(QPalette::WindowText, colour);
    m_site->setPalette(palette);
}

} // namespace quorbit
