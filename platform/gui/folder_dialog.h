#pragma once

// The desktop's folder chooser. UI thread only.

#include <functional>
#include <string>

class CWnd;

// Lets the user choose a folder, starting in `folder`; true and the chosen
// folder in `folder` on OK, false (and `folder` unchanged) on Cancel.
bool BrowseForFolder(const std::string& title, std::string& folder, CWnd* parent);

// Replaces the chooser by a function that gets the title and the starting
// folder and answers like BrowseForFolder (scripted sessions and tests); an
// empty function restores the chooser.
using folder_responder = std::function<bool(const std::string& title, std::string& folder)>;
void SetFolderResponder(folder_responder r);
