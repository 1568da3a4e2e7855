// Renders the main window and the about box offscreen, in English and in
// Russian, into PNG files, so their look can be checked without a display;
// the main window also at the size of a 1366x768 screen
// (main-1366x768-English.png). With --scale 150 it renders only the main
// window on a 1920x1080 screen at 150 %: 1280x720 logical pixels drawn at a
// scale factor of 1.5 (main-1920x1080-150-English.png).
//
//   quorbit_screenshots <output folder> [--scale 150]

#include "app/aboutbox.h"
#include "app/mainwindow.h"
#include "app/numberedit.h"
#include "app/radiogroup.h"
#include "browser/shelllistview.h"
#include "platform/locations.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>
#include <string>
#include <string_view>
#include <utility>

// Lets the folder views take in what their listing threads found.
void settle()
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 500) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

// A folder with a few files of different kinds and sizes for the browser to show.
QString makeSampleFolder(const QTemporaryDir& scratch)
{
    const QString folder = scratch.filePath(QStringLiteral("Holiday 2026"));
    QDir().mkpath(folder + QStringLiteral("/Beach"));
    QDir().mkpath(folder + QStringLiteral("/Mountains"));
    const std::pair<const char*, int> files[]
        = {{"01 - Morning.mp3", 4'213'000}, {"02 - Waves.mp3", 5'102'500}, {"IMG_0412.jpg", 2'480'100},
           {"IMG_0413.jpg", 2'511'000},     {"notes.txt", 1'300},          {"route.html", 18'400}};
    for (const auto& [name, size] : files) {
        std::ofstream(QDir(folder).filePath(QString::fromUtf8(name)).toStdString())
            << std::string(static_cast<std::size_t>(size), ' ');
    }
    // A name from an old Windows camera, in windows-1251 bytes: shown with
    // replacement marks, renamed by its own bytes.
    std::ofstream(QFile::encodeName(folder).toStdString() + "/\xcf\xeb\xff\xe6.jpg") << std::string(1'900'000, ' ');
    // The first song has both tags, for the tag panel to show.
    const std::string song = QDir(folder).filePath(QStringLiteral("01 - Morning.mp3")).toStdString();
    quorbit::TID3v1 id3v1;
    id3v1.FSetArtist("Lena Field");
    id3v1.FSetTitle("Morning");
    id3v1.FSetAlbum("Coast Songs");
    id3v1.FSetYear("2026");
    id3v1.FSetTrack(1);
    id3v1.FSetGenreID(12);
    id3v1.SaveToFile(song);
    quorbit::TID3v2 id3v2;
    id3v2.FSetArtist("Lena Field");
    id3v2.FSetTitle("Morning by the Sea");
    id3v2.FSetAlbum("Coast Songs");
    id3v2.FSetYear("2026");
    id3v2.FSetTrack(1);
    id3v2.FSetGenre("Other");
    id3v2.FSetComment("Recorded on the beach");
    id3v2.SaveToFile(song);
    return folder;
}

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The scale factor is read once, when the application starts.
    const bool scaled = argc > 3 && std::string_view(argv[2]) == "--scale" && std::string_view(argv[3]) == "150";
    if (scaled) {
        qputenv("QT_SCALE_FACTOR", "1.5");
    }
    QApplication application(argc, argv);
    quorbit::setUpApplication();
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(output);
    const quorbit::WindowPlaces installed = quorbit::WindowPlaces::forExecutable(quorbit::files::executablePath());
    for (const char* language : {"English", "Russian"}) {
        QTemporaryDir scratch;
        const QString sample = makeSampleFolder(scratch);
        const std::string settingsFile = scratch.filePath(QStringLiteral("quorbit.ini")).toStdString();
        std::ofstream(settingsFile) << "[Options]\nLanguage=" << language << "\nLast Folder=" << sample.toStdString()
                                    << "\n";
        quorbit::TForm1 window(
            {{settingsFile, settingsFile}, installed.languageFolder, {}}); // no journal: nothing is renamed
        window.show();
        settle();
        // "Reduce to 3" shows every mark of the New name column: two pictures want one name.
        window.findChild<quorbit::RadioGroup*>(QStringLiteral("RadioGroupOptions"))->setItemIndex(8);
        window.findChild<quorbit::NumberEdit*>(QStringLiteral("EditNumber"))->setText(QStringLiteral("3"));
        window.findChild<quorbit::TStShellListView*>(QStringLiteral("StShellListView1"))->selectRow(0);
        settle();
        const QString languageName = QString::fromLatin1(language);
        if (scaled) {
            window.resize(1280, 720);
            settle();
            window.grab().save(output + QStringLiteral("/main-1920x1080-150-%1.png").arg(languageName));
        } else {
            window.grab().save(output + QStringLiteral("/main-%1.png").arg(languageName));
            window.resize(1366, 768);
            settle();
            window.grab().save(output + QStringLiteral("/main-1366x768-%1.png").arg(languageName));
            quorbit::TAboutBox& about = window.aboutBox();
            about.show();
            settle();
            about.grab().save(output + QStringLiteral("/about-%1.png").arg(languageName));
            about.hide();
        }
        window.setMessageSink([](const QString&) {});
        window.close();
    }
    return 0;
}
