resource "TEXT" 128 "notes" purgeable locked text "line one\n" "line \u{E9}two\t\"q\""
resource "hex " -1 attributes 0x44 hex { 00 01 ff 7f80 }
resource "utf8" 0x7FFF utf8 "\u{20AC} raw"
resource "STR " 5 sysheap protected preload string "a" "b"
resource "sekr" 9 sealed "key" text "hidden"; resource "file" 3 file "missing.bin"
resource "vers" 2 version { number 12.3.4 stage beta prerelease 7 region -1 short "12.3" long "x" }
