//%attributes = {}
// Runs every example method and compares each result with the value the
// example's header documents, then shows a summary with ALERT and returns it.
// Run it after installing the plugin: every check passes when the bundle in
// Plugins/ works in this copy of 4D. Each check names its example first
// (crc, tiff_strip, cipher_text, format_menu, print_session).

#DECLARE()->$summary : Text

var $log; $r : Object
var $data : Blob

$log:=New object("passed"; 0; "failures"; New collection)

// Example_CRCOfDocument
TEXT TO BLOB("123456789"; $data; UTF8 text without length)
$r:=Example_CRCOfDocument($data)
SelfTest_Expect($log; "crc"; "CRC-32 of 123456789"; $r.crc32; -873187034)
SelfTest_Expect($log; "crc"; "CRC-16/CCITT-FALSE of 123456789"; $r.crc16; 10673)
SelfTest_Expect($log; "crc"; "CRC-16/ARC of 123456789"; $r.crc16arc; 47933)
TEXT TO BLOB("abc"; $data; UTF8 text without length)
$r:=Example_CRCOfDocument($data)
SelfTest_Expect($log; "crc"; "CRC-32 of abc"; $r.crc32; 891568578)
SET BLOB SIZE($data; 0)
$r:=Example_CRCOfDocument($data)
SelfTest_Expect($log; "crc"; "CRC-32 of nothing"; $r.crc32; 0)

// Example_LZWTiffStrip (BLOBs in Base64)
$r:=Example_LZWTiffStrip
SelfTest_Expect($log; "tiff_strip"; "strip"; $r.strip; "gAKCgeAUFg0GgUEg8HgI")
SelfTest_Expect($log; "tiff_strip"; "differences"; $r.differences; "ChQeAgICAgICAgICChQeAgICAgICAgIC")
SelfTest_Expect($log; "tiff_strip"; "pixels read back"; $r.pixels; "ChQeDBYgDhgiEBokChQeDBYgDhgiEBok")
SelfTest_Expect($log; "tiff_strip"; "strip without predictor"; $r.plain; "gAKCgeBgWEAODAiCAaEkCgkGhEKhkBA=")

// Example_SealText
$r:=Example_SealText
SelfTest_Expect($log; "cipher_text"; "sealed"; $r.sealed; "pxRxSSVeakpJJGbS7ZO4kQ==")
SelfTest_Expect($log; "cipher_text"; "opened"; $r.opened; "Meet at noon")
SelfTest_Expect($log; "cipher_text"; "sealed umlauts"; $r.sealedUmlauts; "r4E88915UPXDkcJ33Yfgu9ZZZbdGBWpw")
SelfTest_Expect($log; "cipher_text"; "opened umlauts"; $r.openedUmlauts; "Grüße aus Köln")
SelfTest_Expect($log; "cipher_text"; "sealed empty text"; $r.sealedEmpty; "")

// Example_FormatPopup (arrays as JSON, without element 0)
$r:=Example_FormatPopup
SelfTest_Expect($log; "format_menu"; "names"; $r.names; "[\"PDF document\",\"SVG drawing\",\"JPEG image\",\"TIFF image\",\"TIFF image\",\"GIF image\",\"PNG image\"]")
SelfTest_Expect($log; "format_menu"; "codes"; $r.codes; "[1300,247,10,3,17,2,75]")
SelfTest_Expect($log; "format_menu"; "extensions"; $r.extensions; "[\"pdf\",\"svg\",\"jpg\",\"tif\",\"tif\",\"gif\",\"png\"]")
SelfTest_Expect($log; "format_menu"; "depths"; $r.depths; "[\"\",\"\",\"24\",\"24\",\"24\",\"8\",\"32\"]")
SelfTest_Expect($log; "format_menu"; "aux"; $r.aux; "[-32767,-32767,-32767,-32767,3,-32767,-32767]")
SelfTest_Expect($log; "format_menu"; "bitmap codes"; $r.bitmapCodes; "[10,3,17,2,75]")
SelfTest_Expect($log; "format_menu"; "family labels"; $r.labels; "[\"PDF\",\"Vector drawing\",\"Bitmap image\"]")
SelfTest_Expect($log; "format_menu"; "names of 17, -1000, 75"; $r.someNames; "[\"TIFF image\",\"\",\"PNG image\"]")
SelfTest_Expect($log; "format_menu"; "extension of 17"; $r.extension17; "tif")
SelfTest_Expect($log; "format_menu"; "family of 17"; $r.family17; 3)

// Example_PrintSession
$r:=Example_PrintSession
SelfTest_Expect($log; "print_session"; "open"; $r.open; 1)
SelfTest_Expect($log; "print_session"; "slot 0 stored"; $r.stored0; 1)
SelfTest_Expect($log; "print_session"; "slot 1 stored"; $r.stored1; 1)
SelfTest_Expect($log; "print_session"; "slot name 0"; $r.slotName0; "0_Invoice_LQM")
SelfTest_Expect($log; "print_session"; "slot name 1"; $r.slotName1; "1_Invoice_LQM")
SelfTest_Expect($log; "print_session"; "slot name 9"; $r.slotName9; "9_Invoice_LQM")
SelfTest_Expect($log; "print_session"; "slot text 0"; $r.slotText0; "Page 1 of 3")
SelfTest_Expect($log; "print_session"; "slot 10 refused"; $r.stored10; 0)
SelfTest_Expect($log; "print_session"; "folder 3"; $r.spoolFolder; "Spool")

$summary:="VarnelFolioforge self-test: "+String($log.passed)+" of "+String($log.passed+$log.failures.length)+" checks passed."
If ($log.failures.length>0)
	$summary:=$summary+Char(Carriage return)+$log.failures.join(Char(Carriage return))
End if
ALERT($summary)
