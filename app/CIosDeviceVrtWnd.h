#pragma once
// The device page: where a connected phone is shown and scanned. This holds
// its controls and texts; device detection is built on top of it.
#include <QWidget>

#include "app/Skin.h"

namespace fq::app {

class DialogHost;
class LanguageStore;

class CIosDeviceVrtWnd : public QWidget {
  Q_OBJECT
 public:
  CIosDeviceVrtWnd(const LanguageStore& texts, DialogHost& dialogs, QWidget* parent);
  void applyTexts();
  void setControlsEnabled(bool enabled);
  // A device scan's Open failed.
  void showOpenFailure();
  const Skin& skin() const { return m_skin; }

 private:
  const LanguageStore& m_texts;
  DialogHost& m_dialogs;
  Skin m_skin;
};

}  // namespace fq::app
