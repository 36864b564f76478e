#pragma once

// The well-known junk folders that the directory scan empties and the
// "Clean Directories" page shows: the temporary folder, the recent documents,
// the browser caches, and the favorites shown on the "Dead Links" page. Each
// look-up answers a folder path, or an empty text when there is none; it is
// computed afresh on every call.
//
// A folder stored in the settings store under the Windows names (the shell
// folders, the Internet Explorer cache path, the Netscape keys) wins; without
// one, the places of this system are used:
//   temporary   $TMPDIR, else /tmp, ending with "/"
//   RECENT      $XDG_DATA_HOME/RecentDocuments
//   FAVORITES   the bookmark backups of Firefox's default profile
//   IE cache    the first existing Chromium-family cache below $XDG_CACHE_HOME
//   Netscape    the Netscape 4.x rule, else the disk cache ("cache2") of
//               Firefox's default profile (profiles.ini, prefs.js), never
//               the folder that holds it

#include <QString>

namespace clarivex {

[[nodiscard]] QString GetTempFolder();
// "RECENT" or "FAVORITES".
[[nodiscard]] QString GetShellFolder(const QString &valueName);
[[nodiscard]] QString GetIECacheFolder();
[[nodiscard]] QString GetNetscapeCacheFolder();

// Replaces every occurrence of `from` by `to`, searching on after each inserted text.
[[nodiscard]] QString ReplaceAll(QString text, const QString &from, const QString &to);

// The pieces of the look-ups above, for the directory scan and the tests.
namespace wellknown {

// The Netscape 4.x profile folder named by the settings store, or empty.
[[nodiscard]] QString netscapeProfileFolder();
// The cache folder of a Netscape profile: the "browser.cache.directory" of its
// prefs.js, else the profile's "Cache" folder; empty when there is no prefs.js.
[[nodiscard]] QString netscapeCacheOfProfile(const QString &profile);
// The default profile folder of Firefox below `firefoxFolder`
// (~/.mozilla/firefox), from its profiles.ini; empty when there is none.
[[nodiscard]] QString firefoxDefaultProfile(const QString &firefoxFolder);
// The existing disk-cache folder of a Firefox profile: "cache2" in the
// "browser.cache.disk.parent_directory" of its prefs.js, else in
// $XDG_CACHE_HOME/mozilla/firefox/<profile>; empty when it does not exist.
[[nodiscard]] QString firefoxCacheOfProfile(const QString &profile);
// The text of a string preference in a prefs.js, with its escapes undone;
// nothing found gives an empty text.
[[nodiscard]] QString prefsJsString(const QString &prefsFile, const QString &key);

} // namespace wellknown

} // namespace clarivex
