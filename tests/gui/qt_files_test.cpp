// QtPlatform's part in Save Data: the file dialog that tells which filter
// was chosen and appends that filter's extension, and the main window's
// picture saved as a Windows bitmap.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "files/export_format.h"
#include "gui/qt_platform.h"

namespace ostra {
namespace {

std::filesystem::path PathOf(const QString& dir, const char* name) {
  return std::filesystem::path(QDir(dir).filePath(name).toStdString());
}

// Answers the next file dialog as a user would: picks filter `filter`,
// types `name` and presses Save.
void AnswerDialog(int filter, const QString& name) {
  QTimer::singleShot(50, [filter, name] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(types, nullptr);
    ASSERT_NE(edit, nullptr);
    for (int i = types->currentIndex(); i < filter; ++i) QTest::keyClick(types, Qt::Key_Down);
    edit->clear();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
  });
}

FileDialogRequest SaveDataRequest(const QString& dir) {
  FileDialogRequest request;
  request.save = true;
  request.title = "Save data";
  request.filter = "Comma delimited data (*.csv)|*.csv|Touchstone (*.s1p *.s2p)|*.s1p;*.s2p";
  request.default_extension = "csv";
  request.file_name = "data1.csv";
  request.initial_dir = dir.toStdString();
  request.filter_extensions = {"csv", "s2p"};
  return request;
}

TEST(QtFilesTest, TheChosenFilterAndItsExtensionComeBack) {
  QTemporaryDir dir;
  QtPlatform platform;
  AnswerDialog(1, "dut");
  auto choice = platform.ChooseFile(SaveDataRequest(dir.path()));
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->filter_index, 1);
  EXPECT_EQ(choice->path, PathOf(dir.path(), "dut.s2p"));

  AnswerDialog(0, "result");
  choice = platform.ChooseFile(SaveDataRequest(dir.path()));
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->filter_index, 0);
  EXPECT_EQ(choice->path, PathOf(dir.path(), "result.csv"));
}

TEST(QtFilesTest, ThePictureOfTheMainWindowIsAWindowsBitmap) {
  QTemporaryDir dir;
  QtPlatform platform;
  EXPECT_FALSE(platform.SaveWindowPicture(PathOf(dir.path(), "none.bmp")));  // no window yet
  QMainWindow window;
  window.resize(320, 200);
  window.setStyleSheet("background: rgb(0, 128, 255);");
  window.show();
  QApplication::processEvents();
  platform.RegisterWindow(WindowId::Main, &window);

  const auto file = PathOf(dir.path(), "result.bmp");
  ASSERT_TRUE(platform.SaveWindowPicture(file));
  QImage picture;
  ASSERT_TRUE(picture.load(QString::fromStdString(file.string()), "BMP"));
  EXPECT_GE(picture.width(), 320);
  EXPECT_GE(picture.height(), 200);
  EXPECT_EQ(picture.pixelColor(picture.width() / 2, picture.height() / 2), QColor(0, 128, 255));
  // A folder that does not exist: false, and nothing is left behind.
  EXPECT_FALSE(platform.SaveWindowPicture(PathOf(dir.path(), "missing/result.bmp")));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"result.bmp"});
  platform.RegisterWindow(WindowId::Main, nullptr);
}

// Choosing the Touchstone filter puts on the proposed name the extension of
// what a transmission sweep writes.
TEST(QtFilesTest, TheTouchstoneFilterProposesTheExtensionOfTheMeasuredPorts) {
  QTemporaryDir dir;
  QtPlatform platform;
  FileDialogRequest request = SaveDataRequest(dir.path());
  request.filter = ExportFilter(2);
  request.filter_extensions = ExportFilterExtensions(2);
  QString proposed;
  QTimer::singleShot(50, [&proposed] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(types, nullptr);
    ASSERT_NE(edit, nullptr);
    QTest::keyClick(types, Qt::Key_Down);
    proposed = edit->text();
    QTest::keyClick(edit, Qt::Key_Return);
  });
  const auto choice = platform.ChooseFile(request);
  EXPECT_EQ(proposed, "data1.s2p");
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->path, PathOf(dir.path(), "data1.s2p"));
}

}  // namespace
}  // namespace ostra
