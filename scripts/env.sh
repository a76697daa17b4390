# Shared build settings for the scripts: sourced, not run.
# ccache keys on paths relative to the checkout, so fresh clones in other
# folders reuse the cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export CCACHE_NOHASHDIR=true
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
JOBS="${JOBS:-$(nproc)}"
