// The engine's application base: window class and main window, window procedure,
// message loop with the frame clock, and the random helpers. A program derives one
// class from it and fills in OnInit, OnFrame and OnShutdown.
#pragma once

#include <cstdint>

#include "app/AppSettings.h"
#include "platform/win32/Win32.h"

class AppShell {
 public:
  AppShell();
  virtual ~AppShell();

  // The window procedure proper.
  virtual LRESULT WindowProc(AppShell* shell, HWND hwnd, UINT message, WPARAM wParam,
                             LPARAM lParam);
  virtual bool OnInit() { return true; }
  virtual void OnFrame() {}
  virtual void OnShutdown() {}

  // Registers the class, creates the window, starts COM and the font manager, then
  // returns OnInit(). False at once when the class or the window cannot be made.
  bool Init(AppSettings settings, HINSTANCE instance);
  // The message loop; returns after WM_QUIT and the shutdown work.
  void Run();
  void Quit();
  // Starts the input layer with the instance and window handles.
  bool StartInput();

  HWND GetWindow() const { return hwnd; }
  const AppSettings& GetSettings() const { return settings; }
  bool IsActive() const { return active; }
  // What the last Init could not do, as a phrase ("the sound system could not start");
  // null after a start-up that went through.
  const char* GetStartupFailure() const { return startupFailure; }
  float GetFrameSeconds() const { return frameSeconds; }

  static AppShell* Instance();

 protected:
  WNDCLASSEXA windowClass{};
  HWND hwnd = nullptr;
  HINSTANCE instance = nullptr;
  AppSettings settings;
  bool active = false;
  float frameSeconds = 0.0f;  // already scaled by speed
  float speed = 1.0f;         // time scale; nothing changes it
  // Set by Init and OnInit at the step that fails; a static string.
  const char* startupFailure = nullptr;
  // Records the failed step and returns false, for `return Fail("...")`.
  bool Fail(const char* step) {
    startupFailure = step;
    return false;
  }
};

// Seconds of the last frame, written by the message loop before each OnFrame.
extern float g_frameTime;

// Inclusive random ranges drawn by rejection from the 15-bit runtime generator
// (platform::Random), seeded once at start-up.
std::int32_t RandomInt(std::int32_t low, std::int32_t high);
float RandomFloat(float low, float high);

// Forgets the previous tick of the frame clock, so the next frame starts the clock anew.
// For tests that run several shells in one process.
void ResetFrameClock();
