#!/usr/bin/env bash
# Batch commands of the real Quenbolt.exe under Wine: every command word, every exit status, and
# the exact bytes each run changes on the disk images.
# Usage: batch_commands.sh <path to Quenbolt.exe>
#
# Under Wine no partition of an image has a drive letter (the volume extent query fails for
# image-backed volumes), so labels can never be written here: "/L" and "/S" are checked for
# leaving the images alone and for the status they report.

. "$(dirname "${BASH_SOURCE[0]}")/lib/e2e.sh"
e2e_init "$@"

# Byte offsets of the fields the commands change.
type_byte() { echo $(($1 * 512 + 450 + 16 * ${2:-0})); }   # table sector, slot
boot_byte() { echo $(($1 * 512 + 446 + 16 * ${2:-0})); }

# The disk most cases run on:
#   slot 0  primary 07, active           display 1, system 1
#   slot 1  container 0F
#             EBR at sector 10240: logical 07   display 2, system 3
#             EBR at sector 16384: logical 0B   display 3, system 4
#   slot 2  empty
#   slot 3  primary 1B (hidden FAT32, label "HIDDENFAT")   display 4, system 2
EBR1=10240 EBR2=16384
standard_disk() {  # name -> path
  local d
  d=$(new_image "$1" 128M)
  partition "$d" <<'EOF'
1 : start=2048, size=8192, type=7, bootable
2 : start=10240, size=40960, type=f
4 : start=51200, size=79872, type=1b
5 : start=12288, size=4096, type=7
6 : start=18432, size=4096, type=b
EOF
  format_fat32 "$d" 51200 79872 HIDDENFAT
  # sfdisk puts each EBR 2048 sectors before its logical partition; the offsets below rely on it.
  [ "$(byte_at "$d" "$(type_byte $EBR1)")" = 07 ] && [ "$(byte_at "$d" "$(type_byte $EBR2)")" = 0b ]
  echo "$d"
}

STANDARD_ROWS='||1|1|07|NTFS|主，活动|4||
||1||0F|扩展 LBA|扩展|20||
||1|2|07|NTFS|逻辑|2||
||1|3|0B|FAT32|逻辑|2||
|HIDDENFAT|1|4|1B|隐藏 FAT32|主|39||'

# Runs one command on the standard disk and checks status and changed bytes.
on_standard() {  # status "changes" args...
  local status=$1 changes=$2 d
  shift 2
  d=$(standard_disk d0)
  attach "$d"
  snapshot
  run_qb "$@"
  expect_status "$status"
  # shellcheck disable=SC2086  # one change per line
  local IFS=$'\n'
  expect_changes "$d" $changes
}

# ---------------------------------------------------------------------------------------------
# "/LIST"

case_list() {
  local d
  d=$(standard_disk d0)
  attach "$d"
  snapshot
  run_qb /LIST
  expect_status 0
  expect_unchanged
  expect_stderr_empty
  local header
  header=$(head -n1 "$CASE_DIR/stdout.txt")
  [ "$header" = $'盘符\t卷标\t磁盘\t分区\t分区标记\t分区格式\t分区类型\t容量（M）\t剩余空间（M）\t磁盘类型' ] ||
    fail "header line is '$header'"
  expect_rows <<<"$STANDARD_ROWS"
}
e2e_case list_standard_disk case_list

case_list_lower() {
  on_standard 0 "" /list
  expect_rows <<<"$STANDARD_ROWS"
}
e2e_case list_lower_case case_list_lower

# ---------------------------------------------------------------------------------------------
# "/M"

case_m_primary() {
  on_standard 0 "$(type_byte 0 0) 07 0c" /M 1 1 0C
  expect_stdout_empty
  expect_stderr_lines "$(not_reread 1)"
}
e2e_case m_primary_type case_m_primary

# Lower case everywhere: the word is upper-cased, the ID is written as the byte 0x0C.
case_m_logical() { on_standard 0 "$(type_byte $EBR1) 07 0c" /m 1 2 0c; }
e2e_case m_lower_case_logical_by_display_number case_m_logical

# Display number 4 is the slot-3 primary, after the two logical partitions.
case_m_slot3() { on_standard 0 "$(type_byte 0 3) 1b 1c" /M 1 4 1C; }
e2e_case m_slot3_primary case_m_slot3

case_m_single_digit() { on_standard 0 "$(type_byte $EBR2) 0b 07" /M 1 3 7; }
e2e_case m_single_digit_id case_m_single_digit

case_m_refused_ids() {
  on_standard 2 "" /M 1 1 007
  expect_stderr_has "007"
  run_qb /M 1 1 G7
  expect_status 2
  expect_unchanged
}
e2e_case m_refused_ids case_m_refused_ids

case_m_no_such() {
  on_standard 3 "" /M 1 5 07
  run_qb /M 01 1 07     # the disk is compared as text: "01" is no disk
  expect_status 3
  run_qb /M 1 01 07
  expect_status 3
  run_qb /M 2 1 07
  expect_status 3
  expect_unchanged
}
e2e_case m_no_such_partition case_m_no_such

case_m_write_fails() {
  local d
  d=$(standard_disk d0)
  attach "$d"
  snapshot
  make_read_only "$d"
  run_qb /M 1 1 0C
  expect_status 1
  expect_unchanged
  [ -s "$CASE_DIR/stderr.txt" ] || fail "a failed write says nothing on standard error"
}
e2e_case m_disk_not_writable case_m_write_fails

# Nothing is written when the hidden window cannot be made (Wine without a display).
case_no_window() {
  local d
  d=$(standard_disk d0)
  attach "$d"
  snapshot
  DISPLAY='' run_qb /M 1 1 0C
  expect_status 9
  expect_stderr_has "无法创建主窗口"
  expect_unchanged
}
e2e_case no_window_no_change case_no_window

# ---------------------------------------------------------------------------------------------
# "/F"

case_f_everywhere() {
  local d0 d1
  d0=$(standard_disk d0)
  d1=$(new_image d1 64M)
  partition "$d1" <<<'start=2048, size=20480, type=7'
  attach "$d0" "$d1"
  snapshot
  run_qb /F 07 0c
  expect_status 0
  expect_changes "$d0" "$(type_byte 0 0) 07 0c" "$(type_byte $EBR1) 07 0c"
  expect_changes "$d1" "$(type_byte 0 0) 07 0c"
  expect_stderr_lines "$(not_reread 1)" "$(not_reread 2)"   # one request a disk, two tables or one
}
e2e_case f_every_disk_and_logical case_f_everywhere

# One disk cannot be written: its two changes are reported, the other disk's change is made.
case_f_partial() {
  local d0 d1
  d0=$(standard_disk d0)
  d1=$(new_image d1 64M)
  partition "$d1" <<<'start=2048, size=20480, type=7'
  attach "$d0" "$d1"
  snapshot
  make_read_only "$d0"
  run_qb /F 07 0C
  expect_status 1
  expect_changes "$d0"
  expect_changes "$d1" "$(type_byte 0 0) 07 0c"
  # Two failures on disk 1, then the note for the one table written, on disk 2.
  [ "$(grep -c . "$CASE_DIR/stderr.txt")" = 3 ] || { fail "expected three lines on standard error"; show_output; }
  [ "$(tail -n 1 "$CASE_DIR/stderr.txt" | tr -d '\r')" = "$(not_reread 2)" ] || { fail "no note for disk 2 last"; show_output; }
}
e2e_case f_one_disk_not_writable case_f_partial

case_f_matches_text() { on_standard 0 "" /F 7 0C; }
e2e_case f_single_digit_matches_nothing case_f_matches_text

case_f_containers() { on_standard 0 "$(type_byte 0 1) 0f 05" /f 0f 05; }
e2e_case f_container_type case_f_containers

case_f_refused() {
  on_standard 2 "" /F 07 XYZ
  run_qb /F G 07
  expect_status 2
  run_qb /F 07
  expect_status 2
  expect_unchanged
}
e2e_case f_refused case_f_refused

# ---------------------------------------------------------------------------------------------
# "/A": by system number; only the named entry's flag changes.

case_a_sets() { on_standard 0 "$(boot_byte 0 3) 00 80" /A 1 2 1; }
e2e_case a_sets_slot3_by_system_number case_a_sets

case_a_lenient_disk() { on_standard 0 "$(boot_byte 0 3) 00 80" /a 01 2 1; }
e2e_case a_lenient_disk_number case_a_lenient_disk

case_a_clears() { on_standard 0 "$(boot_byte 0 0) 80 00" /A 1 1 0; }
e2e_case a_clears case_a_clears

case_a_unchanged() {
  on_standard 0 "" /A 1 1 1
  expect_stderr_empty
}
e2e_case a_already_active case_a_unchanged

case_a_no_such() {
  on_standard 3 "" /A 1 4 1
  run_qb /A 1 3 1       # display number 3 is a logical partition: no primary has system number 3
  expect_status 3
  expect_unchanged
}
e2e_case a_no_such_primary case_a_no_such

# Only "1" sets the flag; any other text clears it.
case_a_other_text() { on_standard 0 "$(boot_byte 0 0) 80 00" /A 1 1 yes; }
e2e_case a_other_flag_text_clears case_a_other_text

# ---------------------------------------------------------------------------------------------
# "/L" and "/S": no drive letters under Wine, so a label that would change cannot be written.

case_l_no_letter() {
  on_standard 1 "" /L 1 4 "my new label"
  [ -s "$CASE_DIR/stderr.txt" ] || fail "the unwritten label is not reported"
}
e2e_case l_without_drive_letter case_l_no_letter

case_l_same() {
  on_standard 0 "" /L 1 4 HIDDENFAT
  expect_stderr_empty
}
e2e_case l_label_unchanged case_l_same

case_l_no_such() { on_standard 3 "" /L 1 0 x; }
e2e_case l_no_such_partition case_l_no_such

case_s_no_letter() { on_standard 1 "" /S 1b data; }
e2e_case s_without_drive_letter case_s_no_letter

case_s_no_rows() { on_standard 0 "" /S 0C data; }
e2e_case s_no_partition_of_type case_s_no_rows

case_s_containers() {
  on_standard 2 "" /S 0f DATA
  run_qb /S 05 DATA
  expect_status 2
  expect_unchanged
}
e2e_case s_refuses_containers case_s_containers

# ---------------------------------------------------------------------------------------------
# Command lines that are not understood

case_not_understood() {
  on_standard 2 "" /X 1 2 3
  local args
  for args in "/M 1 1" "/M 1 1 07 x" "/Q" "/M" "/? x" "/LIST x" "M 1 1 07"; do
    # shellcheck disable=SC2086  # the arguments are meant to split
    run_qb $args
    expect_status 2
  done
  expect_unchanged
  expect_stdout_empty
}
e2e_case not_understood case_not_understood

e2e_finish
