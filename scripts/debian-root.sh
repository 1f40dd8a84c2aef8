# shellcheck shell=bash disable=SC2154
# Sourced by the scripts that build a Debian root with debootstrap and work in it as root
# (scripts/ci-fresh-root, scripts/gnome-root): the root lies at their $target.

# The Debian mirror this machine's apt uses, so that a root reaches the same archive.
host_mirror() {
  local mirror
  mirror="$(grep -h -m1 -E '^URIs:.*/debian/?$' /etc/apt/sources.list.d/*.sources 2>/dev/null |
    awk '{print $2}' | head -n1)"
  [ -n "$mirror" ] || mirror="$(awk '$1 == "deb" && $3 ~ /^bookworm$/ {print $2; exit}' \
    /etc/apt/sources.list 2>/dev/null)"
  [ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources" >&2; return 1; }
  echo "$mirror"
}

# This machine's settings for reaching the archive (a mirror with old dates, a proxy) and its
# name servers, into the root.
copy_apt_settings() {
  local conf
  for conf in /etc/apt/apt.conf.d/*; do
    ! grep -q '^Acquire::' "$conf" || cp -a "$conf" "$target/etc/apt/apt.conf.d/"
  done
  cp /etc/resolv.conf "$target/etc/resolv.conf"
}

mount_into() { # mount_into <mount arguments...> <path inside the root>
  local path="$target${*: -1}"
  mkdir -p "$path"
  mount "${@:1:$#-1}" "$path"
}

# What programs in the root need of the system: proc, sys (whose unmount must not reach this
# machine's), dev with its pts and a shm of the root's own.
mount_system() {
  mount_into -t proc proc /proc
  mount_into --rbind /sys /sys
  mount --make-rslave "$target/sys"
  mount_into --bind /dev /dev
  mount_into --bind /dev/pts /dev/pts
  mount_into -t tmpfs -o mode=1777 shm /dev/shm
}

in_root() {
  chroot "$target" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/root "$@"
}

# Ends every process whose root lies in the root (a root nested in it too), then unmounts
# everything under it, deepest first, and the root itself where it is a mount point. Returns false when some mount remains.
release_root() {
  local dir root mount killed=false
  while read -r dir root; do
    case "$root" in
    "$target" | "$target"/*) kill -KILL "${dir#/proc/}" 2>/dev/null && killed=true ;;
    esac
  done < <(find /proc/[0-9]*/root -maxdepth 0 -printf '%h %l\n' 2>/dev/null)
  ! $killed || sleep 1
  for mount in $(findmnt -rn -o TARGET | grep -e "^$target/" -e "^$target\$" | sort -r); do
    umount "$mount" 2>/dev/null || umount -l "$mount"
  done
  ! findmnt -rn -o TARGET | grep -q -e "^$target/" -e "^$target\$"
}
