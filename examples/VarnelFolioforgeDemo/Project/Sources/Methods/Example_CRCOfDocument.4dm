//%attributes = {}
// Checking a document with a CRC.
// Computes the CRC-32 (model 2) of a BLOB with the table-driven engine
// (engine 1), and two CRC-16 variants beside it. CRC-32 is the checksum of
// ZIP and PNG; the plugin returns it as a longint with the same bit pattern,
// so about half of all values are negative. Called without a BLOB, the method
// asks for a document and compares its CRC-32 with one kept from an earlier
// run. Returns the three checksums in an object.
//
// Results, for the 9 bytes "123456789":
//   crc32    = -873187034   (0xCBF43926)
//   crc16    = 10673        (0x29B1, model 0: CRC-16/CCITT-FALSE)
//   crc16arc = 47933        (0xBB3D, model 1: CRC-16/ARC; the bitwise engine 0 gives the same)
// For "abc": crc32 = 891568578 (0x352441C2). For an empty BLOB: 0 for every model.

#DECLARE($data : Blob)->$crc : Object

var $path : Text
var $expected : Integer

If (Count parameters=0)
	$path:=Select document(""; "*"; "Document to check"; 0)
	If (OK=1)
		DOCUMENT TO BLOB(Document; $data)
		$crc:=Example_CRCOfDocument($data)
		$expected:=-873187034  // kept from the day the document was stored
		If ($crc.crc32=$expected)
			ALERT("The document is intact.")
		Else
			ALERT("The document has changed: CRC-32 "+String($crc.crc32; "&x"))
		End if
	End if
Else
	$crc:=New object
	$crc.crc32:=LQM_ComputeCRC($data; 2; 1)  // model 2: CRC-32; engine 1: table-driven
	$crc.crc16:=LQM_ComputeCRC($data; 0; 1)  // model 0: CRC-16/CCITT-FALSE
	$crc.crc16arc:=LQM_ComputeCRC($data; 1; 0)  // model 1: CRC-16/ARC; engine 0: bitwise
End if
