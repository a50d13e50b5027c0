# Gives the capture helper its rights: owner root, group GROUP (a system group, created when
# missing), mode 0750, file capabilities cap_sys_admin,cap_dac_read_search+ep, so that the members
# of the group alone get full capture. Sourced by scripts/install; the Debian package's postinst
# is built with it. POSIX shell.
#   fm_helper_rights HELPER GROUP
fm_helper_rights() {
  getent group "$2" >/dev/null || groupadd --system "$2"
  # In this order: a change of owner clears the file capabilities.
  chown root:"$2" "$1"
  chmod 0750 "$1"
  setcap cap_sys_admin,cap_dac_read_search+ep "$1"
}
