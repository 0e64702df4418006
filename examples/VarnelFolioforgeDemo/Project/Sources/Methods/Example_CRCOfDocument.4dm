//%attributes = {}
// Checking a document with a CRC.
// Computes the CRC-32 (LQM CRC32 model) of a BLOB with the table-driven
// engine (LQM CRC table engine), and two CRC-16 variants beside it. CRC-32 is the checksum of
// ZIP and PNG; the plugin returns it as a longint with the same bit pattern,
// so about half of all values are negative. Called without a BLOB, the method
// asks for a document and compares its CRC-32 with one kept from an earlier
// run. Returns the three checksums in an object.
//
// Results, for the 9 bytes "123456789":
//   crc32    = -873187034   (0xCBF43926)
//   crc16    = 10673        (0x29B1, LQM CRC16 CCITT false model)
//   crc16arc = 47933        (0xBB3D, LQM CRC16 ARC model; LQM CRC bitwise engine gives the same)
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
	$crc.crc32:=LQM_ComputeCRC($data; LQM CRC32 model; LQM CRC table engine)
	$crc.crc16:=LQM_ComputeCRC($data; LQM CRC16 CCITT false model; LQM CRC table engine)
	$crc.crc16arc:=LQM_ComputeCRC($data; LQM CRC16 ARC model; LQM CRC bitwise engine)
End if
