// Process-wide state and the start-up operations shared by every window.
// All of it lives on the program's one thread.
#pragma once

#include <string>
#include <vector>

namespace orrivel {

// The user's choices, one text per settings key (UTF-8 in memory).
struct SaverSettingsRecord {
  std::string MovieOrPic;   // MOVIEORPIC
  std::string MovieFile;    // SWFMOVIE
  std::string Interactive;  // INTERACTIVE
  std::string Quality;      // QUALITY
  std::string Pics;         // PICS
  std::string Random;       // RANDOM
  std::string Speed;        // SPEED
};

extern SaverSettingsRecord SaverSettings;
extern std::vector<std::string> PictureList;
extern bool PreviewMode;

// Start-up: reads the settings and opens the one window the switch asks for.
// Called by WinMain, and again by the picture window's fall-back.
void Main();

// Reads the settings file into SaverSettings (and PictureList). Never stops
// the start-up: failures are shown in a message box.
void ReadSettings();

// Appends the entries of SaverSettings.Pics to PictureList; with an empty
// Pics it writes the built-in movie settings instead.
void SplitPictureList();

// Writes the settings file in one of its three layouts, then updates
// SaverSettings as the readers expect. Returns false when the file could not
// be written (the caller reports or ignores it, as its window does);
// LastWriteSettingsError() in settings_store.h tells why.
bool WriteSettings(const std::string& movieOrPic, const std::string& movieFile,
                   const std::string& interactive, bool writeDefault,
                   const std::string& pics, const std::string& random,
                   const std::string& speed, const std::string& quality);

// Unloads every loaded window; the program ends when none is left.
void EndSaver();

}  // namespace orrivel
