#pragma once

// What the window tests share: one QApplication on the offscreen platform, a
// main window driven by scripted dialogs, and HT fixture files written by our
// own writer.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/QtDispatcher.h"
#include "app/StandInControls.h"
#include "app/Unit1.h"
#include "formats/HTConvert.h"
#include "mapview/GPXDraw.h"
#include "model/GPX.h"
#include "tests/app/ScriptedDialogs.h"
#include "tests/app/logic/LogicSupport.h"
#include "tests/app/logic/WorkspaceProbe.h"
#include "tests/support/TempFolder.h"

class TQtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "shoalwright_test";
    static char* argv[] = {name, nullptr};
    fApp = std::make_unique<QApplication>(argc, argv);
    InitApplication();
  }
  void TearDown() override { fApp.reset(); }

private:
  std::unique_ptr<QApplication> fApp;
};

inline ::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

class FormTest : public ::testing::Test {
protected:
  TScriptedDialogs dialogs;
  std::unique_ptr<TForm1> form;
  TTempFolder folder{"shoalwright_form"};

  void SetUp() override { form = MakeForm(8); }
  void TearDown() override { form.reset(); }

  std::unique_ptr<TForm1> MakeForm(unsigned cpus, TInterpolationJob::TInterpolatorFactory factory = {},
                                   TInterpolationJob::TBandStarter startBand = {}) {
    auto f = std::make_unique<TForm1>(TForm1::TOptions{&dialogs, cpus, std::move(factory), std::move(startBand)});
    f->show();
    QCoreApplication::processEvents();
    return f;
  }

  std::string Path(const std::string& name) const { return folder.Path(name); }

  // The workspace and a control of the window, found by its name as tests of a
  // user's view of the window do.
  TWorkspace& Ws() { return form->Workspace(); }
  template <class T>
  T* Find(const char* name) const {
    T* control = form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  // Writes an HT file with one track of these segments through our own writer.
  std::string WriteHT(const std::string& name, const std::vector<TSegmentPoints>& segments) {
    const std::string path = Path(name);
    EXPECT_TRUE(WriteHTFile(path, segments)) << path;
    return path;
  }

  // A lawn-mower survey over a small square, depths growing eastward.
  std::string WriteSurvey(const std::string& name, double depthScale = 1.0) {
    std::vector<TSegmentPoints> lines;
    for (int row = 0; row < 6; ++row) {
      TSegmentPoints line;
      for (int col = 0; col <= 40; ++col)
        line.push_back({47.0 + row * 0.0008, 8.0 + col * 0.0002, (100.0 + col * 20.0) * depthScale});
      lines.push_back(line);
    }
    return WriteHT(name, lines);
  }

  void AddFiles(const std::vector<std::string>& files) {
    dialogs.openAnswers.push_back(files);
    form->btnAddFilesClick();
  }

  // Interpolates and pumps until the run is complete.
  void Interpolate() {
    form->btnInterpolateClick();
    ASSERT_TRUE(form->Dispatcher().PumpUntil([this] { return !form->Interpolating(); }));
  }

  static bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
      if (l == line) return true;
    return false;
  }

  // The view shows its data fitted to its map as the window shows it: it has the
  // picture's size, every track point lies on the picture, and the drawn tracks
  // span nearly its width or its height (a fit keeps a margin of 1 %).
  static void ExpectFillsItsMap(const TGPXDraw& view, const TImage& image) {
    const TBitmap& picture = image.Picture();
    ASSERT_EQ(picture.Width(), image.width());
    ASSERT_EQ(picture.Height(), image.height());
    EXPECT_EQ(view.Width(), image.width());
    EXPECT_EQ(view.Height(), image.height());
    ASSERT_NE(view.GPXd, nullptr);
    int outside = 0;
    for (const TGPXtrk& trk : view.GPXd->trk)
      for (const TGPXtrkseg& seg : trk)
        for (const TPoint4D2& p : seg) {
          const int x = view.LoToX(p.Longitude), y = view.LaToY(p.Latitude);
          outside += x < 0 || y < 0 || x >= picture.Width() || y >= picture.Height();
        }
    EXPECT_EQ(outside, 0);
    int left = picture.Width(), right = -1, top = picture.Height(), bottom = -1;
    for (int y = 0; y < picture.Height(); ++y)
      for (int x = 0; x < picture.Width(); ++x)
        if (picture.Pixel(x, y) != 0xFFFFFF) {
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
    ASSERT_GE(right, 0) << "nothing drawn";
    EXPECT_TRUE(right - left + 1 >= picture.Width() * 9 / 10 || bottom - top + 1 >= picture.Height() * 9 / 10)
        << "drawn " << right - left + 1 << " x " << bottom - top + 1 << " of " << picture.Width() << " x "
        << picture.Height();
  }

  static int TrackPointCount(const TGPX& doc) {
    int n = 0;
    for (const TGPXtrk& trk : doc.trk)
      for (const TGPXtrkseg& seg : trk) n += seg.Count();
    return n;
  }
};
