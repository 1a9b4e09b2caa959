<Design>
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="rom=cyrillic if all:"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="БГЁЖЗИЙЛПУФЧШЪЫЭЮЯ"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="2" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="бвгёжзийклмнптчшъ"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="3" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="ыьэюя ДЦЩ дфцщ"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
