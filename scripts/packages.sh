# The Debian packages the project needs; sourced by the other scripts.
# To build the installer: compiler, CMake, and the X11 and Xft headers for its window; and for
# scenario-tool, built with it, the JSON library it writes its JSON and SARIF with and the
# command-line parser it reads its options with; gettext's tools and Python, which check its
# message catalogue and make it into a table of the program.
BUILD_PACKAGES=(cmake make g++ pkg-config libx11-dev libxft-dev fonts-dejavu-core
                nlohmann-json3-dev libcli11-dev gettext python3)
# To build and run the tests as well: GoogleTest, a virtual X display and the X tools, the
# Windows cross-compiler with Wine to run the Windows executable, and clang with its libFuzzer
# runtime for the compiler's fuzzer; and Chromium, the browser the route view's page is tested in.
TEST_PACKAGES=("${BUILD_PACKAGES[@]}" libgtest-dev xvfb xauth x11-utils
               g++-mingw-w64-x86-64-posix wine wine64 clang libclang-rt-14-dev chromium)
# Neovim, the editor whose own language client tests scenario-tool's language server.
TEST_PACKAGES+=(neovim)
# Node.js and npm, which run the route view's browser tests and the editors' grammar test (their
# packages, puppeteer-core and vscode-textmate, come from the npm registry); installed only where
# no npm is on the PATH, for a newer Node.js may be there from elsewhere.
BROWSER_TEST_PACKAGES=(nodejs npm)
