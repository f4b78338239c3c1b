#!/usr/bin/env bash
# Lays out the system files of a kind of machine met in the field under ROOT, for
# HALVORIX_SYSROOT: the mount table, sysfs as the kernel lays it out (/sys/dev/block/M:m and
# /sys/class/block/NAME links into /sys/devices/..., partitions inside their disk's folder,
# device-mapper devices with slaves/ and holders/, SD and eMMC told apart by device/type), /dev
# with stand-ins for the device nodes, /dev/mapper links and udev's by-label and by-uuid links.
# System mounts ("/", "/boot", "/proc"...) keep their real paths, as on the machine; every other
# mount point is a folder under ROOT, and the user's home folder is ROOT/home/USER (on "plain",
# ROOT/mnt/disk/home/user). Cards hold a few files. Prints the home folder.
#   tests/window/fake-machine.sh MACHINE ROOT
# MACHINE:
#   debian-luks   Debian 12 on ext4 in LVM inside LUKS on a SATA disk; a USB stick (vfat) and
#                 an encrypted USB stick (ext4 in LUKS, unlocked by the desktop)
#   fedora-btrfs  Fedora on btrfs with subvolumes for / and /home on NVMe; a USB stick (exfat)
#   laptop-fuse   a laptop on NVMe; an NTFS USB disk through ntfs-3g and an exFAT SD card in
#                 the built-in reader through exfat-fuse (both fuseblk); a snap (squashfs)
#   raspberry-pi  Raspberry Pi OS on the SD card in the board's slot; a USB stick (vfat)
#   plain         a fixed disk (ext4 at ROOT/mnt/disk) and a card labelled CARD (vfat at
#                 ROOT/mnt/CARD), nothing else: the machine of the real-window checks
set -euo pipefail
machine=$1
root=$(realpath -m "$2")
sys=$root/sys
mkdir -p "$root"/proc/self "$sys"/{dev/block,class/block,block,devices/virtual/block} \
  "$root"/dev/{mapper,disk/by-label,disk/by-uuid}
: > "$root/proc/self/mountinfo"

# --- sysfs and /dev

# NAME MAJ:MIN FOLDER: the links every block device has, and the stand-in for its node.
register() {
  ln -sr "$3" "$sys/dev/block/$2"
  ln -sr "$3" "$sys/class/block/$1"
  : > "$root/dev/$1"
}
# PARENT-PATH NAME MAJ:MIN REMOVABLE: a whole disk in /sys/devices/PARENT-PATH/block/NAME.
disk() {
  local dir=$sys/devices/$1/block/$2
  mkdir -p "$dir"/{holders,slaves,queue}
  echo "$3" > "$dir/dev"
  echo "$4" > "$dir/removable"
  echo 0 > "$dir/ro"
  register "$2" "$3" "$dir"
  ln -sr "$dir" "$sys/block/$2"
}
# DISK NAME MAJ:MIN NUMBER: a partition, inside its disk's folder.
part() {
  local dir
  dir=$(realpath "$sys/block/$1")/$2
  mkdir -p "$dir/holders"
  echo "$3" > "$dir/dev"
  echo "$4" > "$dir/partition"
  register "$2" "$3" "$dir"
}
# DISK MMC-CARD-FOLDER TYPE: an MMC disk's card (device/type SD or MMC).
mmc_card() {
  local card=$sys/devices/$2
  mkdir -p "$card"
  echo "$3" > "$card/type"
  ln -sr "$card" "$(realpath "$sys/block/$1")/device"
}
# NAME MAJ:MIN DM-NAME SLAVE...: a device-mapper device (LUKS, LVM) on top of its slaves.
dm() {
  local name=$1 majmin=$2 dmname=$3 dir=$sys/devices/virtual/block/$1 slave slavedir
  shift 3
  mkdir -p "$dir"/{dm,holders,slaves}
  echo "$majmin" > "$dir/dev"
  echo 0 > "$dir/removable"
  echo "$dmname" > "$dir/dm/name"
  for slave in "$@"; do
    slavedir=$(realpath "$sys/class/block/$slave")
    ln -sr "$slavedir" "$dir/slaves/$slave"
    ln -sr "$dir" "$slavedir/holders/$name"
  done
  register "$name" "$majmin" "$dir"
  ln -sr "$dir" "$sys/block/$name"
  ln -s "../$name" "$root/dev/mapper/$dmname"
}
# ESCAPED-LABEL DEVICE and UUID DEVICE: udev's links (labels written as udev escapes them).
label() { ln -s "../../$2" "$root/dev/disk/by-label/$1"; }
uuid() { ln -s "../../$2" "$root/dev/disk/by-uuid/$1"; }

# --- the mount table

mount_id=20
# MAJ:MIN ROOT-IN-FS MOUNT-POINT FSTYPE SOURCE [SUPER-OPTIONS]
mnt() {
  local point=${3// /\\040}
  mount_id=$((mount_id + 1))
  echo "$mount_id 1 $1 $2 $point rw,relatime shared:$mount_id - $4 $5 ${6:-rw}" >> "$root/proc/self/mountinfo"
}
# What every systemd machine mounts besides its drives: none of it is a drive.
system_mounts() {
  mnt 0:22 / /sys sysfs sysfs
  mnt 0:23 / /proc proc proc
  mnt 0:5 / /dev devtmpfs udev rw,size=8092212k,nr_inodes=2023053,mode=755
  mnt 0:24 / /dev/pts devpts devpts rw,gid=5,mode=620,ptmxmode=000
  mnt 0:25 / /run tmpfs tmpfs rw,size=1623340k,mode=755
  mnt 0:26 / /dev/shm tmpfs tmpfs
  mnt 0:27 / /sys/fs/cgroup cgroup2 cgroup2 rw,nsdelegate,memory_recursiveprot
  mnt 0:34 / /proc/sys/fs/binfmt_misc autofs systemd-1 rw,fd=30,pgrp=1,timeout=0,minproto=5
  mnt 0:40 / /run/user/1000 tmpfs tmpfs rw,size=1623336k,nr_inodes=405834,mode=700,uid=1000,gid=1000
  mnt 0:41 / /run/user/1000/gvfs fuse.gvfsd-fuse gvfsd-fuse rw,user_id=1000,group_id=1000
}

# --- folders behind the mount points

# FOLDER: a camera card's files, with fixed times.
fill_card() {
  mkdir -p "$1/DCIM/100CANON" "$1/MISC"
  head -c 150000 /dev/urandom > "$1/DCIM/100CANON/IMG_0001.JPG"
  head -c 90000 /dev/urandom > "$1/DCIM/100CANON/IMG_0002.JPG"
  echo "print order" > "$1/MISC/AUTPRINT.MRK"
  echo "card notes" > "$1/notes.txt"
  touch -d "2021-05-04 10:20:30" "$1"/DCIM/100CANON/*.JPG "$1/notes.txt"
}

pci=pci0000:00
case $machine in
debian-luks)
  user=alice
  disk "$pci/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0" sda 8:0 0
  part sda sda1 8:1 1
  part sda sda2 8:2 2
  part sda sda3 8:3 3
  dm dm-0 254:0 sda3_crypt sda3
  dm dm-1 254:1 debian--vg-root dm-0
  dm dm-2 254:2 debian--vg-swap_1 dm-0
  uuid 6C1B-0D9F sda1
  uuid 0b5e2f0c-3f55-4c1e-9a42-4b9d27f1c3aa sda2
  uuid 8c1d6a57-55d3-4bd9-8f7e-d8c0b4c8a001 sda3
  uuid 1f0a3c52-7b8e-4d61-a2c4-59e3d0c7b112 dm-0
  uuid 5d8c0b5e-2f0c-4f55-8c1e-9a424b9d27f1 dm-1
  uuid 9a424b9d-27f1-4c3a-b0c1-1f0a3c527b8e dm-2
  disk "$pci/0000:00:14.0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0" sdb 8:16 1
  part sdb sdb1 8:17 1
  label KINGSTON sdb1
  uuid 1A2B-3C4D sdb1
  disk "$pci/0000:00:14.0/usb1/1-3/1-3:1.0/host7/target7:0:0/7:0:0:0" sdc 8:32 1
  part sdc sdc1 8:33 1
  dm dm-3 254:3 luks-4f1e2d3c-5b6a-4798-8a9b-0c1d2e3f4a5b sdc1
  uuid 4f1e2d3c-5b6a-4798-8a9b-0c1d2e3f4a5b sdc1
  uuid e0d1c2b3-a4f5-4e6d-8c7b-6a5f4e3d2c1b dm-3
  label SECRET dm-3
  mnt 254:1 / / ext4 /dev/mapper/debian--vg-root rw,errors=remount-ro
  system_mounts
  mnt 8:2 / /boot ext2 /dev/sda2
  mnt 8:1 / /boot/efi vfat /dev/sda1 rw,fmask=0077,dmask=0077,codepage=437,iocharset=ascii
  mnt 8:17 / "$root/media/$user/KINGSTON" vfat /dev/sdb1 rw,uid=1000,gid=1000,fmask=0022,dmask=0022
  mnt 254:3 / "$root/media/$user/SECRET" ext4 /dev/mapper/luks-4f1e2d3c-5b6a-4798-8a9b-0c1d2e3f4a5b \
    rw,nosuid,nodev,errors=remount-ro
  fill_card "$root/media/$user/KINGSTON"
  mkdir -p "$root/media/$user/SECRET/papers"
  ;;
fedora-btrfs)
  user=alice
  disk "$pci/0000:00:1d.0/0000:3d:00.0/nvme/nvme0" nvme0n1 259:0 0
  part nvme0n1 nvme0n1p1 259:1 1
  part nvme0n1 nvme0n1p2 259:2 2
  part nvme0n1 nvme0n1p3 259:3 3
  label fedora nvme0n1p3
  uuid 3E5A-91C2 nvme0n1p1
  uuid 7a2c9d1e-4b3f-4e8a-9c5d-2f1e0b6a7c3d nvme0n1p2
  uuid d2c8e4f1-6a7b-4c9d-8e0f-1a2b3c4d5e6f nvme0n1p3
  disk "$pci/0000:00:14.0/usb2/2-1/2-1:1.0/host4/target4:0:0/4:0:0:0" sda 8:0 1
  part sda sda1 8:1 1
  label SANDISK sda1
  uuid 6F2E-0A11 sda1
  disk virtual zram0 252:0 0 # swap on zram: never mounted
  btrfs="rw,seclabel,compress=zstd:1,ssd,discard=async,space_cache=v2"
  mnt 0:32 /root / btrfs /dev/nvme0n1p3 "$btrfs,subvolid=257,subvol=/root"
  system_mounts
  mnt 0:32 /home "$root/home" btrfs /dev/nvme0n1p3 "$btrfs,subvolid=256,subvol=/home"
  mnt 259:2 / /boot ext4 /dev/nvme0n1p2
  mnt 259:1 / /boot/efi vfat /dev/nvme0n1p1 rw,fmask=0077,dmask=0077
  mnt 0:45 / /tmp tmpfs tmpfs rw,seclabel,nr_inodes=1048576
  mnt 8:1 / "$root/run/media/$user/SANDISK" exfat /dev/sda1 rw,uid=1000,gid=1000,iocharset=utf8
  fill_card "$root/run/media/$user/SANDISK"
  ;;
laptop-fuse)
  user=alice
  disk "$pci/0000:00:1d.0/0000:3d:00.0/nvme/nvme0" nvme0n1 259:0 0
  part nvme0n1 nvme0n1p1 259:1 1
  part nvme0n1 nvme0n1p2 259:2 2
  uuid 1C0E-55A7 nvme0n1p1
  uuid 4d5e6f70-8192-4a3b-9c4d-5e6f70819203 nvme0n1p2
  disk virtual loop0 7:0 0
  disk "$pci/0000:00:14.0/usb2/2-3/2-3:1.0/host5/target5:0:0/5:0:0:0" sdb 8:16 0 # a USB hard disk
  part sdb sdb1 8:17 1
  label Elements sdb1
  uuid 5A1C3E2B7D9F0A44 sdb1
  disk "$pci/0000:00:1c.0/0000:02:00.0/rtsx_pci_sdmmc.0/mmc_host/mmc0/mmc0:aaaa" mmcblk0 179:0 0
  mmc_card mmcblk0 "$pci/0000:00:1c.0/0000:02:00.0/rtsx_pci_sdmmc.0/mmc_host/mmc0/mmc0:aaaa" SD
  part mmcblk0 mmcblk0p1 179:1 1
  label EOS_DIGITAL mmcblk0p1
  uuid 3461-6231 mmcblk0p1
  mnt 259:2 / / ext4 /dev/nvme0n1p2 rw,errors=remount-ro
  system_mounts
  mnt 7:0 / /snap/core22/1380 squashfs /dev/loop0 ro
  mnt 259:1 / /boot/efi vfat /dev/nvme0n1p1 rw,fmask=0077,dmask=0077
  fuse="rw,user_id=0,group_id=0,default_permissions,allow_other,blksize=4096"
  mnt 0:52 / "$root/media/$user/Elements" fuseblk /dev/sdb1 "$fuse"
  mnt 0:55 / "$root/media/$user/EOS_DIGITAL" fuseblk /dev/mmcblk0p1 "$fuse"
  mkdir -p "$root/media/$user/Elements/Backups"
  fill_card "$root/media/$user/EOS_DIGITAL"
  ;;
raspberry-pi)
  user=pi
  mmc=platform/emmc2bus/fe340000.mmc/mmc_host/mmc0/mmc0:aaaa
  disk "$mmc" mmcblk0 179:0 0
  mmc_card mmcblk0 "$mmc" SD
  part mmcblk0 mmcblk0p1 179:1 1
  part mmcblk0 mmcblk0p2 179:2 2
  part mmcblk0 mmcblk0p3 179:3 3
  label bootfs mmcblk0p1
  label rootfs mmcblk0p2
  label data mmcblk0p3
  uuid 4AD7-B4D5 mmcblk0p1
  uuid 2bcd3a07-1f66-4d33-a0d1-7e0a7e0b6e4a mmcblk0p2
  uuid 77e2a5f1-0c3b-4b8e-9d2f-1a3b5c7d9e0f mmcblk0p3
  disk platform/scb/fd500000.pcie/pci0000:00/0000:00:00.0/0000:01:00.0/usb2/2-1/2-1:1.0/host0/target0:0:0/0:0:0:0 sda 8:0 1
  part sda sda1 8:1 1
  label PHOTOS sda1
  uuid 0E7B-1A2C sda1
  mnt 179:2 / / ext4 /dev/mmcblk0p2 rw,noatime
  system_mounts
  mnt 179:1 / /boot/firmware vfat /dev/mmcblk0p1 rw,fmask=0022,dmask=0022
  mnt 179:3 / "$root/srv/data" ext4 /dev/mmcblk0p3
  mnt 8:1 / "$root/media/$user/PHOTOS" vfat /dev/sda1 rw,uid=1000,gid=1000
  mkdir -p "$root/srv/data"
  fill_card "$root/media/$user/PHOTOS"
  ;;
plain)
  user=user home=$root/mnt/disk/home/user
  disk virtual sda 8:0 0
  disk virtual sdb 8:16 1
  label CARD sdb
  mnt 8:0 / "$root/mnt/disk" ext4 /dev/sda
  mnt 8:16 / "$root/mnt/CARD" vfat /dev/sdb
  fill_card "$root/mnt/CARD"
  ;;
*)
  echo "fake-machine: no machine called $machine" >&2
  exit 2
  ;;
esac
home=${home:-$root/home/$user}
mkdir -p "$home"
echo "$home"
