# Sourced by test scripts: `. own-home.sh DIR` gives the shell, and whatever
# it starts, a home, XDG config, data, cache and state folders and a runtime
# folder of its own below DIR (which the script removes when it ends), so
# nothing of the user's is read or written. The counterpart of own_home.h.
own_home_dir=${1:?usage: . own-home.sh DIR}
mkdir -p "$own_home_dir"/{home,config,data,cache,state,runtime}
chmod 0700 "$own_home_dir/runtime"
export HOME=$own_home_dir/home XDG_CONFIG_HOME=$own_home_dir/config XDG_DATA_HOME=$own_home_dir/data \
  XDG_CACHE_HOME=$own_home_dir/cache XDG_STATE_HOME=$own_home_dir/state XDG_RUNTIME_DIR=$own_home_dir/runtime
unset own_home_dir
