#pragma once
// The client's files and folders: the program's directory and its "assets" folder, the
// per-user folder with settings.ini, the character profiles under "conf" and the
// "screenshots" folder. Every function returns a zero-terminated path of at most 259 bytes
// with "/" separators and no trailing separator, held in a buffer of its own that the next
// call of the same function overwrites; a path that would be longer is "" (and so are the
// client directory when the program file cannot be located and a refused profile name).
//
// The per-user folder is the platform's data folder for "Ostrevane" (created by the
// platform when missing); when there is none, the client directory stands in. Computing the
// settings path creates the user folder, the profile path creates conf/<summary>, and the
// screenshot path creates its folder; failures to create are not reported here (the later
// file writes fail instead).

// Longest path kept, in bytes, without the terminator.
constexpr int SETTINGS_PATH_MAX = 259;

const char* settings_client_dir();
const char* settings_assets_dir();
const char* settings_user_folder();
const char* settings_default_path();
// user folder/conf/<summary>/<character>.ini. Both names come from the server and are made
// safe first: "/", "\", ":", bytes below 0x20, DEL and a leading "." become "_". A null or
// empty name gives "". The result always lies inside the conf folder.
const char* settings_profile_path(const char* summary_name, const char* character_name);
const char* settings_screenshot_dir();
// Creates every missing level of path in turn. 1 when the whole path exists as folders.
int settings_make_dirs(const char* path);
