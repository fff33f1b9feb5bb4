// The S-record reader and the bootloader programming run live here.
