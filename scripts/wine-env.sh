# Sourced by the scripts that run Wine: where the project lies, and a quiet Wine
# whose prefix is under $HOME (which a bare environment may lack).
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
: "${HOME:=$(getent passwd "$(id -u)" | cut -d: -f6)}"
export HOME
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
