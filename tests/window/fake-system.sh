#!/usr/bin/env bash
# Lays out a fake machine under ROOT for HALVORIX_SYSROOT: a fixed drive (mounted at
# ROOT/mnt/disk, holding the home folder ROOT/mnt/disk/home/user) and a card labelled CARD
# (mounted at ROOT/mnt/CARD, with a few photos).
#   tests/window/fake-system.sh ROOT
set -euo pipefail
root=$(realpath -m "$1")
mkdir -p "$root"/{proc/self,sys/dev/block,sys/devices/block/sda,sys/devices/block/sdb,dev/disk/by-label}
mkdir -p "$root"/mnt/disk/home/user "$root"/mnt/CARD/DCIM/100CANON "$root"/mnt/CARD/MISC
echo 0 > "$root/sys/devices/block/sda/removable"
echo 1 > "$root/sys/devices/block/sdb/removable"
ln -sfn "$root/sys/devices/block/sda" "$root/sys/dev/block/8:0"
ln -sfn "$root/sys/devices/block/sdb" "$root/sys/dev/block/8:16"
ln -sfn ../../sdb "$root/dev/disk/by-label/CARD"
cat > "$root/proc/self/mountinfo" <<INFO
21 1 8:0 / $root/mnt/disk rw,relatime shared:1 - ext4 /dev/sda rw
22 1 8:16 / $root/mnt/CARD rw,relatime shared:2 - vfat /dev/sdb rw
INFO
head -c 150000 /dev/urandom > "$root/mnt/CARD/DCIM/100CANON/IMG_0001.JPG"
head -c 90000 /dev/urandom > "$root/mnt/CARD/DCIM/100CANON/IMG_0002.JPG"
echo "print order" > "$root/mnt/CARD/MISC/AUTPRINT.MRK"
echo "card notes" > "$root/mnt/CARD/notes.txt"
touch -d "2021-05-04 10:20:30" "$root"/mnt/CARD/DCIM/100CANON/*.JPG "$root/mnt/CARD/notes.txt"
