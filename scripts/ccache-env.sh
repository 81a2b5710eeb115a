# Sourced by the build scripts: ccache's per-user cache serves any clone of the
# repository. Paths are taken relative to the clone and the working folder is
# not hashed, so a CI run in a fresh clone reuses what a build of the same code
# in another folder compiled (debug information then names that folder).
export CCACHE_BASEDIR="$PWD"
export CCACHE_NOHASHDIR=1
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-include_file_mtime,include_file_ctime,time_macros}"
